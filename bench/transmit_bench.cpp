// The transmitter shared: how soon a key and an unkey reach the radio while
// 20 clients poll, and whether a program that dies while it holds the
// transmitter leaves the radio keyed.

#include "transmit_bench.h"

#include "bench_cells.h"
#include "bench_server.h"
#include "bench_table.h"
#include "transmit_measure.h"

#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

namespace {

QString Cycles(const TransmitResults& r)
{
    return QStringLiteral("%1 in %2 s; %3 08, %4 88 on the line")
        .arg(r.cycles)
        .arg(r.seconds, 0, 'f', 1)
        .arg(r.keysOnLine)
        .arg(r.unkeysOnLine);
}

QString Errors(const TransmitResults& r)
{
    return QStringLiteral("%1 RPRT -n, %2 no reply, %3 no 88 in %4 s")
        .arg(r.refused)
        .arg(r.timeouts)
        .arg(r.unkeysNotSeen)
        .arg(TransmitResults::kLineBoundMs / 1000);
}

QString PollerErrors(const ClientStats& s)
{
    return QStringLiteral("%1 RPRT -n, %2 time-outs of %3").arg(s.refused).arg(s.timeouts).arg(s.asked);
}

QString Killed(const TransmitResults& r)
{
    if (!r.killFailure.isEmpty() && r.killsTried == 0)
        return r.killFailure;
    QString cell;
    if (!r.killMs.empty())
        cell = QStringLiteral("%1 / %2 ms (median / max), %3 of %4 kills")
                   .arg(Percentile(r.killMs, 0.5), 0, 'f', 2)
                   .arg(*std::max_element(r.killMs.begin(), r.killMs.end()), 0, 'f', 2)
                   .arg(r.killMs.size())
                   .arg(r.killsTried);
    if (r.killsNever > 0)
        cell += (cell.isEmpty() ? QString() : QStringLiteral("; ")) + QStringLiteral("never (%1 s)").arg(TransmitResults::kKillBoundS);
    if (!r.killFailure.isEmpty())
        cell += QStringLiteral("; then ") + r.killFailure;
    return cell;
}

QString WatcherDelay(const std::vector<double>& ms)
{
    if (ms.empty())
        return QStringLiteral("-");
    return QStringLiteral("%1 / %2 / %3 ms (%4 lines)")
        .arg(Percentile(ms, 0.5), 0, 'f', 3)
        .arg(Percentile(ms, 0.99), 0, 'f', 3)
        .arg(*std::max_element(ms.begin(), ms.end()), 0, 'f', 3)
        .arg(ms.size());
}

} // namespace

void RunTransmitBench(const QString& solvaneProgram, const QString& benchProgram, int seconds)
{
    TransmitResults s, r;
    {
        BenchServer server;
        s = MeasureTransmit(server, server.startSolvane(solvaneProgram), benchProgram, seconds);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty()) {
        r.failure = QStringLiteral("rigctld is missing (libhamlib-utils)");
    } else {
        BenchServer server;
        r = MeasureTransmit(server, server.startRigctld(), benchProgram, seconds);
    }
    std::printf("\nTransmitting, each server in turn against its own simulator paced at %d baud, while %d clients\n"
                "poll f and m at 10 Hz: one client keys (T 1) and unkeys (T 0) for %d s, waiting 100 to 200 ms\n"
                "after each; then a separate program keys and is killed with SIGKILL, up to %d times. The\n"
                "simulator logs each command once its last byte has arrived; a thread follows the log with\n"
                "inotify and stamps each line with the steady clock when it reads it (its own delay is the\n"
                "last row), against the time taken just before the request was sent or the signal was.\n\n",
                kBenchBaud, Pollers::kClients, seconds, TransmitResults::kKills);
    Table table({{"Measure", 42}, {"Solvane", 48}, {"rigctld -m 1001", 48}, {"Goal", 14}});
    table.header();
    for (const TransmitResults* x : {&s, &r})
        if (!x->failure.isEmpty())
            table.row({x == &s ? "Solvane failed" : "rigctld failed", x->failure});
    table.row({QStringLiteral("T 1 to RPRT 0 (median / p99)"), Latency(s.keyMs), Latency(r.keyMs),
               QStringLiteral("p99 < 60 ms")});
    table.row({QStringLiteral("T 0 to 88 on the line (median / p99)"), Latency(s.unkeyLineMs), Latency(r.unkeyLineMs),
               QStringLiteral("p99 < 60 ms")});
    table.row({QStringLiteral("T 0 to RPRT 0 (median / p99)"), Latency(s.unkeyMs), Latency(r.unkeyMs), QString()});
    table.row({QStringLiteral("Key and unkey cycles"), Cycles(s), Cycles(r), QStringLiteral("each once")});
    table.row({QStringLiteral("  their errors"), Errors(s), Errors(r), QStringLiteral("0")});
    table.row({QStringLiteral("Keying program killed to 88 on the line"), Killed(s), Killed(r),
               QStringLiteral("< 100 ms")});
    table.row({QStringLiteral("Pollers' errors (cycles and kills)"), PollerErrors(s.pollers), PollerErrors(r.pollers),
               QStringLiteral("0")});
    table.row({QStringLiteral("Log watcher's own delay (med / p99 / max)"), WatcherDelay(s.watcherMs),
               WatcherDelay(r.watcherMs), QString()});
}
