#include "bench_cells.h"

#include "bench_table.h"

#include <QStringList>

QString Latency(const std::vector<double>& ms)
{
    if (ms.empty())
        return QStringLiteral("no replies");
    return QStringLiteral("%1 / %2 ms").arg(Percentile(ms, 0.5), 0, 'f', 2).arg(Percentile(ms, 0.99), 0, 'f', 2);
}

QString LatencyRatio(const std::vector<double>& solvane, const std::vector<double>& rigctld)
{
    if (solvane.empty() || rigctld.empty())
        return QStringLiteral("-");
    return QStringLiteral("x%1 / x%2")
        .arg(Percentile(rigctld, 0.5) / Percentile(solvane, 0.5), 0, 'f', 1)
        .arg(Percentile(rigctld, 0.99) / Percentile(solvane, 0.99), 0, 'f', 1);
}

QString PerSecond(int count, double seconds)
{
    return seconds > 0 ? QStringLiteral("%1").arg(count / seconds, 0, 'f', 1) : QStringLiteral("-");
}

QString OpcodeList(const QMap<QString, int>& count, double seconds)
{
    QStringList parts;
    for (auto it = count.begin(); it != count.end(); ++it)
        parts << (seconds > 0 ? QStringLiteral("%1 %2/s").arg(it.key()).arg(it.value() / seconds, 0, 'f', 1)
                              : QStringLiteral("%1 x%2").arg(it.key()).arg(it.value()));
    return parts.join(QStringLiteral(", "));
}

QString AnsweredLatency(const ClientStats& s, int boundS)
{
    if (s.answered == 0 && s.refused == 0)
        return QStringLiteral("no reply in %1 s (%2 asked)").arg(boundS).arg(s.asked);
    QString cell = QStringLiteral("%1; %2 of %3").arg(Latency(s.ms)).arg(s.answered).arg(s.asked);
    if (s.refused > 0)
        cell += QStringLiteral(", %1 RPRT -n").arg(s.refused);
    if (s.timeouts > 0)
        cell += QStringLiteral(", %1 no reply in %2 s").arg(s.timeouts).arg(boundS);
    return cell;
}
