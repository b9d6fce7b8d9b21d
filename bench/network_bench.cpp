// The sharing server side by side with Debian's rigctld (model 1001, its
// FT-847 backend): each in turn runs against its own simulator paced at
// 4800 baud both ways, and the same clients measure both. Prints a table.

#include "network_bench.h"

#include "bench_cells.h"
#include "bench_server.h"
#include "bench_table.h"
#include "network_measure.h"

#include <QStandardPaths>

#include <cstdio>

namespace {

QString Ratio(double solvane, double rigctld)
{
    if (solvane <= 0)
        return QStringLiteral("-");
    const double ratio = rigctld / solvane;
    // Two significant digits below 1, so that x0.036 does not print as x0.0.
    return ratio < 1 ? QStringLiteral("x%1").arg(ratio, 0, 'g', 2) : QStringLiteral("x%1").arg(ratio, 0, 'f', 1);
}

// Commands other than the poll (03, with E7 and F7 in turn), the sets (01), take and release
// control (00, 80) and the unkey that makes sure of receive after taking
// control (88) over the whole run; overlaps and partial frames count too.
QString Extras(const ServerResults& r)
{
    QMap<QString, int> extra = r.runOpcodes;
    for (const char* expected : {"03", "E7", "F7", "01", "00", "80", "88"})
        extra.remove(QString::fromLatin1(expected));
    return extra.isEmpty() ? QStringLiteral("none") : OpcodeList(extra, 0);
}

QString Microseconds(double us) { return us > 0 ? QStringLiteral("%1 µs").arg(us, 0, 'f', 0) : QStringLiteral("-"); }

struct Run {
    ServerResults solvane, rigctld;
    LoadWindow windowed; // the program with its window, offscreen
    QString windowedFailure;
};

void PrintTable(const Run& run, int seconds)
{
    const ServerResults& s = run.solvane;
    const ServerResults& r = run.rigctld;
    std::printf("\nSharing the radio, each server against its own simulator paced at %d baud both ways, in turn:\n"
                "Solvane as `solvane --headless --listen 127.0.0.1:PORT` (no window; Qt's own event dispatcher, as --headless picks),\n"
                "Debian's `rigctld -m 1001 -s %d`. One client sets %d frequencies, each awaited, while %d clients\n"
                "poll f and m at 10 Hz; then the %d poll alone for %d s; then one client floods F (%d requests in\n"
                "flight) while the %d poll on, for %d s.\n\n",
                kBenchBaud, kBenchBaud, kFrequencySets, Pollers::kClients, Pollers::kClients, seconds,
                FloodWindow::kDepth, Pollers::kClients, seconds);
    Table table({{"Measure", 44}, {"Solvane", 46}, {"rigctld -m 1001", 46}, {"rigctld / Solvane", 17},
                 {"Goal", 24}});
    table.header();
    for (const ServerResults* x : {&s, &r})
        if (!x->failure.isEmpty())
            table.row({x == &s ? "Solvane failed" : "rigctld failed", x->failure});
    auto latencyRow = [&](const QString& what, const ClientStats& a, const ClientStats& b, const QString& goal) {
        table.row({what, Latency(a.ms), Latency(b.ms), LatencyRatio(a.ms, b.ms), goal});
    };
    latencyRow(QStringLiteral("f latency, 1 client (median / p99)"), s.one, r.one, QString());
    latencyRow(QStringLiteral("f latency, %1 clients (median / p99)").arg(Pollers::kClients), s.load.pollers,
               r.load.pollers, QStringLiteral("p99 < 1 ms"));
    latencyRow(QStringLiteral("f+m in one packet, to m's reply (med / p99)"), s.paired, r.paired,
               QStringLiteral("no ~40 ms stall"));
    latencyRow(QStringLiteral("F to RPRT 0, %1 polling (median / p99)").arg(Pollers::kClients), s.sets, r.sets,
               QStringLiteral("p99 < 45 ms at %1 baud").arg(kBenchBaud));
    auto lineRate = [](const LoadWindow& w) {
        int all = 0;
        for (int n : w.opcodes)
            all += n;
        return PerSecond(all, w.seconds);
    };
    table.row({QStringLiteral("Serial commands/s, %1 clients").arg(Pollers::kClients), lineRate(s.load),
               lineRate(r.load), QString(), QStringLiteral("poll: 20 (03+E7/F7)")});
    table.row({QStringLiteral("  by opcode"), OpcodeList(s.load.opcodes, s.load.seconds),
               OpcodeList(r.load.opcodes, r.load.seconds), QString(), QString()});
    auto setsRow = [](const ServerResults& x) {
        return QStringLiteral("%1 on the line, %2 RPRT 0").arg(x.setsOnLine).arg(x.sets.answered);
    };
    table.row({QStringLiteral("Frequency sets (%1 asked)").arg(kFrequencySets), setsRow(s), setsRow(r), QString(),
               QStringLiteral("every set once")});
    table.row({QStringLiteral("Server CPU, %1 clients").arg(Pollers::kClients),
               QStringLiteral("%1 % of a core").arg(s.load.cpuPercent(), 0, 'f', 2),
               QStringLiteral("%1 % of a core").arg(r.load.cpuPercent(), 0, 'f', 2),
               Ratio(s.load.cpuPercent(), r.load.cpuPercent()), QStringLiteral("Solvane < 1 %")});
    table.row({QStringLiteral("Server CPU per request, %1 clients").arg(Pollers::kClients),
               Microseconds(s.load.cpuPerRequestUs()), Microseconds(r.load.cpuPerRequestUs()),
               Ratio(s.load.cpuPerRequestUs(), r.load.cpuPerRequestUs()), QStringLiteral("Solvane <= rigctld / 2")});
    table.row({QStringLiteral("  Solvane with its window (offscreen)"),
               run.windowedFailure.isEmpty()
                   ? QStringLiteral("%1 (%2 % of a core)")
                         .arg(Microseconds(run.windowed.cpuPerRequestUs()))
                         .arg(run.windowed.cpuPercent(), 0, 'f', 2)
                   : run.windowedFailure,
               QString(), QString(), QString()});
    auto calls = [](const SyscallWindow& w) {
        return w.failure.isEmpty() ? PerUnit(w.calls, w.answered, QStringLiteral("request")) : w.failure;
    };
    const auto callsPer = [](const SyscallWindow& w) {
        return w.calls.calls >= 0 && w.answered > 0 ? double(w.calls.calls) / w.answered : 0.0;
    };
    table.row({QStringLiteral("Server system calls per request, %1 clients").arg(Pollers::kClients), calls(s.syscalls),
               calls(r.syscalls), Ratio(callsPer(s.syscalls), callsPer(r.syscalls)), QString()});
    table.row({QStringLiteral("Server CPU, no client connected"),
               QStringLiteral("%1 % of a core").arg(s.idleCpuPercent, 0, 'f', 2),
               QStringLiteral("%1 % of a core").arg(r.idleCpuPercent, 0, 'f', 2), QString(), QString()});
    auto answered = [](const ServerResults& x) {
        return QStringLiteral("%1 of %2; %3 errors in all")
            .arg(x.load.pollers.answered)
            .arg(x.load.pollers.asked)
            .arg(x.errors());
    };
    table.row({QStringLiteral("Requests answered, %1-client window").arg(Pollers::kClients), answered(s), answered(r),
               QString(), QStringLiteral("%1 asked at 10 Hz").arg(Pollers::kClients * 10 * 2 * seconds)});

    table.row({QStringLiteral("One client floods F, %1 poll:").arg(Pollers::kClients)});
    for (const ServerResults* x : {&s, &r})
        if (!x->flood.failure.isEmpty())
            table.row({x == &s ? "  Solvane flood failed" : "  rigctld flood failed", x->flood.failure});
    const FloodWindow& sf = s.flood;
    const FloodWindow& rf = r.flood;
    table.row({QStringLiteral("  poll rounds/s (03 on the line)"), PerSecond(sf.pollRounds, sf.seconds),
               PerSecond(rf.pollRounds, rf.seconds) + QStringLiteral(" (the clients' reads)"), QString(),
               QStringLiteral(">= 9.5")});
    auto pollerErrors = [](const FloodWindow& w) {
        return QStringLiteral("%1 RPRT -n, %2 time-outs of %3").arg(w.pollers.refused).arg(w.pollers.timeouts)
            .arg(w.pollers.asked);
    };
    table.row({QStringLiteral("  pollers' errors"), pollerErrors(sf), pollerErrors(rf), QString(), QStringLiteral("0")});
    latencyRow(QStringLiteral("  pollers' f latency (median / p99)"), sf.pollers, rf.pollers, QString());
    table.row({QStringLiteral("  sets on the line/s (01)"), PerSecond(sf.setsInWindow, sf.seconds),
               PerSecond(rf.setsInWindow, rf.seconds), Ratio(sf.setsInWindow, rf.setsInWindow), QString()});
    auto acknowledged = [](const FloodWindow& w) {
        return QStringLiteral("%1 RPRT 0 / %2 on the line").arg(w.ok).arg(w.setsOnLine);
    };
    table.row({QStringLiteral("  RPRT 0 against 01 on the line"), acknowledged(sf), acknowledged(rf), QString(),
               QStringLiteral("equal")});
    auto drained = [](const FloodWindow& w) {
        return QStringLiteral("%1 sent, %2 left after %3 s").arg(w.sent).arg(w.unanswered).arg(w.drainSeconds, 0, 'f', 1)
               + (w.refused > 0 ? QStringLiteral(", %1 RPRT -n").arg(w.refused) : QString())
               + (w.closedByServer ? QStringLiteral(", closed by the server") : QString());
    };
    table.row({QStringLiteral("  flood drained (<= 90 s wait)"), drained(sf), drained(rf), QString(),
               QStringLiteral("0 left")});

    table.row({QStringLiteral("Beyond poll, sets, 00/80/88 (whole run)"), Extras(s), Extras(r), QString(),
               QStringLiteral("none")});
    table.row({QStringLiteral("Overlapping commands (whole run)"), QString::number(s.overlaps),
               QString::number(r.overlaps), QString(), QStringLiteral("0")});
}

} // namespace

void RunNetworkBench(const QString& solvaneProgram, int seconds)
{
    Run run;
    {
        BenchServer server;
        run.solvane = MeasureServer(server, server.startSolvane(solvaneProgram), seconds);
    }
    {
        BenchServer server;
        if (server.startSolvane(solvaneProgram, {.headless = false}))
            run.windowed = MeasureLoad(server, seconds);
        else
            run.windowedFailure = server.failure();
    }
    if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty()) {
        run.rigctld.failure = QStringLiteral("rigctld is missing (libhamlib-utils)");
    } else {
        BenchServer server;
        run.rigctld = MeasureServer(server, server.startRigctld(), seconds);
    }
    PrintTable(run, seconds);
}
