#include "syscall_count.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

#ifdef __linux__
#include <sys/prctl.h>
#endif

SyscallTotals ParseStraceSummary(const QString& text)
{
    // "% time  seconds  usecs/call  calls  [errors]  syscall": the calls are
    // the fourth column, the name the last; the errors column may be empty.
    SyscallTotals totals;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QStringList fields = line.trimmed().split(blanks, Qt::SkipEmptyParts);
        bool number = false;
        if (fields.size() < 5 || (fields[0].toDouble(&number), !number))
            continue;
        const qint64 calls = fields[3].toLongLong(&number);
        if (!number)
            continue;
        if (fields.last() == QLatin1String("total"))
            totals.calls = calls;
        else
            totals.byName[fields.last()] += calls;
    }
    return totals;
}

QString PerUnit(const SyscallTotals& totals, double count, const QString& unit)
{
    if (totals.calls < 0 || count <= 0)
        return QStringLiteral("not counted");
    std::vector<std::pair<qint64, QString>> names;
    for (auto it = totals.byName.begin(); it != totals.byName.end(); ++it)
        names.emplace_back(it.value(), it.key());
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList top;
    for (std::size_t i = 0; i < std::min<std::size_t>(3, names.size()); ++i)
        top << QStringLiteral("%1 %2").arg(names[i].second).arg(double(names[i].first) / count, 0, 'f', 1);
    return QStringLiteral("%1 a %2 (%3)").arg(double(totals.calls) / count, 0, 'f', 1).arg(unit, top.join(QStringLiteral(", ")));
}

SyscallCount::~SyscallCount()
{
    if (strace_.state() != QProcess::NotRunning) {
        strace_.kill();
        strace_.waitForFinished(3000);
    }
}

bool SyscallCount::start(qint64 pid)
{
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty()) {
        failure_ = QStringLiteral("not counted: no strace");
        return false;
    }
#if defined(__linux__) && defined(PR_SET_PTRACER)
    // Where only a process's ancestors may trace it, this one lets strace in.
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
#endif
    strace_.setProcessChannelMode(QProcess::MergedChannels);
    strace_.start(QStringLiteral("strace"), {QStringLiteral("-c"), QStringLiteral("-f"), QStringLiteral("-o"),
                                             dir_.filePath(QStringLiteral("summary")), QStringLiteral("-p"),
                                             QString::number(pid)});
    // It says so on stderr once it has attached to the first thread.
    QByteArray said;
    while (!said.contains("attached") && strace_.waitForReadyRead(5000))
        said += strace_.readAll();
    if (!said.contains("attached")) {
        failure_ = QStringLiteral("not counted: strace did not attach (%1)").arg(QString::fromLocal8Bit(said).trimmed());
        strace_.kill();
        strace_.waitForFinished(3000);
        return false;
    }
    return true;
}

SyscallTotals SyscallCount::stop()
{
    // Interrupted, strace detaches and writes its summary.
    strace_.terminate();
    if (!strace_.waitForFinished(10000)) {
        strace_.kill();
        strace_.waitForFinished(3000);
    }
    QFile summary(dir_.filePath(QStringLiteral("summary")));
    if (!summary.open(QIODevice::ReadOnly))
        return {};
    return ParseStraceSummary(QString::fromLocal8Bit(summary.readAll()));
}
