#pragma once
// Small helpers shared by the benchmark's parts: percentiles and a Markdown
// table printed row by row as the measurements come in.

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

inline double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

class Table {
public:
    explicit Table(std::vector<std::pair<const char*, int>> columns) : columns_(std::move(columns)) {}

    void header() const
    {
        QStringList names;
        for (const auto& c : columns_)
            names << QString::fromLatin1(c.first);
        row(names);
        std::string rule = "|";
        for (const auto& c : columns_)
            rule += std::string(size_t(c.second) + 2, '-') + "|";
        std::printf("%s\n", rule.c_str());
        std::fflush(stdout);
    }

    // Missing cells are left empty.
    void row(const QStringList& cells) const
    {
        std::string line = "|";
        for (size_t i = 0; i < columns_.size(); ++i) {
            const QString cell = int(i) < cells.size() ? cells[int(i)] : QString();
            line += " " + cell.leftJustified(columns_[i].second).toStdString() + " |";
        }
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    std::vector<std::pair<const char*, int>> columns_;
};
