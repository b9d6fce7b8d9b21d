// Satellite mode shared: gpredict tracking a pass through the server while
// 20 clients poll. What counts is that the poll keeps reading both VFOs,
// that the Doppler client's sets go out in time, and that each RPRT 0 is a
// set on the line.

#include "satellite_bench.h"

#include "bench_cells.h"
#include "bench_server.h"
#include "bench_table.h"
#include "satellite_measure.h"

#include <QStandardPaths>

#include <cstdio>

namespace {

QString Engaged(const SatelliteResults& r)
{
    return QStringLiteral("%1; %2 4E on the line").arg(QString::fromStdString(r.engageReply)).arg(r.satelliteOnLine);
}

QString Cycles(const SatelliteResults& r)
{
    return QStringLiteral("%1 in %2 s (%3/s)")
        .arg(r.doppler.cycles)
        .arg(r.seconds, 0, 'f', 1)
        .arg(PerSecond(r.doppler.cycles, r.seconds));
}

QString SetsOnLine(const SatelliteResults& r)
{
    return QStringLiteral("%1 RPRT 0 / %2 on the line (%3 11 + %4 21)")
        .arg(r.doppler.down.answered + r.doppler.up.answered)
        .arg(r.downSetsOnLine + r.upSetsOnLine)
        .arg(r.downSetsOnLine)
        .arg(r.upSetsOnLine);
}

QString ReadBacks(const SatelliteResults& r)
{
    return QStringLiteral("%1 of %2").arg(r.doppler.readBacksEqual).arg(r.doppler.readBacks);
}

QString DopplerErrors(const SatelliteResults& r)
{
    const DuplexStats& d = r.doppler;
    QString cell = QStringLiteral("%1 RPRT -n, %2 no reply of %3")
                       .arg(d.down.refused + d.up.refused + d.reads.refused)
                       .arg(d.down.timeouts + d.up.timeouts + d.reads.timeouts)
                       .arg(d.down.asked + d.up.asked + d.reads.asked);
    if (!d.firstError.empty())
        cell += QStringLiteral("; first: ") + QString::fromStdString(d.firstError);
    return cell;
}

QString PollerErrors(const ClientStats& s)
{
    return QStringLiteral("%1 RPRT -n, %2 time-outs of %3").arg(s.refused).arg(s.timeouts).arg(s.asked);
}

} // namespace

void RunSatelliteBench(const QString& solvaneProgram, int seconds)
{
    SatelliteResults s, r;
    {
        BenchServer server;
        s = MeasureSatellite(server, server.startSolvane(solvaneProgram), seconds);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty()) {
        r.failure = QStringLiteral("rigctld is missing (libhamlib-utils)");
    } else {
        BenchServer server;
        r = MeasureSatellite(server, server.startRigctld(), seconds);
    }
    std::printf("\nSatellite Doppler, each server in turn against its own simulator paced at %d baud, while %d\n"
                "clients poll f and m at 10 Hz: one client sends `S 1 Sub`, then every %d ms runs gpredict's\n"
                "duplex cycle for %d s (f, F, f, i, I, i, each awaited; `F  435899980` as gpredict prints it),\n"
                "the downlink %ld Hz and the uplink +%ld Hz each cycle. The 1 ms over 100 walks the cycle\n"
                "across the poll's 100 ms round instead of locking to one phase of it.\n\n",
                kBenchBaud, Pollers::kClients, SatelliteResults::kPeriodMs, seconds,
                SatelliteResults::kDownlinkStepHz, SatelliteResults::kUplinkStepHz);
    Table table({{"Measure", 40}, {"Solvane", 56}, {"rigctld -m 1001", 56}, {"Goal", 14}});
    table.header();
    for (const SatelliteResults* x : {&s, &r})
        if (!x->failure.isEmpty())
            table.row({x == &s ? "Solvane failed" : "rigctld failed", x->failure});
    table.row({QStringLiteral("S 1 Sub"), Engaged(s), Engaged(r), QString()});
    table.row({QStringLiteral("Poll rounds/s (13 on the line)"), PerSecond(s.pollRounds(), s.seconds),
               PerSecond(r.pollRounds(), r.seconds), QStringLiteral(">= 9")});
    table.row({QStringLiteral("Doppler cycles"), Cycles(s), Cycles(r),
               QStringLiteral("%1/s").arg(1000.0 / SatelliteResults::kPeriodMs, 0, 'f', 1)});
    table.row({QStringLiteral("  whole cycle (median / p99)"), Latency(s.doppler.cycleMs), Latency(r.doppler.cycleMs),
               QString()});
    table.row({QStringLiteral("  F to RPRT 0 (median / p99)"), Latency(s.doppler.down.ms), Latency(r.doppler.down.ms),
               QStringLiteral("p99 < 150 ms")});
    table.row({QStringLiteral("  I to RPRT 0 (median / p99)"), Latency(s.doppler.up.ms), Latency(r.doppler.up.ms),
               QStringLiteral("p99 < 150 ms")});
    table.row({QStringLiteral("  sets answered against sets on the line"), SetsOnLine(s), SetsOnLine(r),
               QStringLiteral("equal")});
    table.row({QStringLiteral("  read-backs equal to the set (f, i)"), ReadBacks(s), ReadBacks(r),
               QStringLiteral("all")});
    table.row({QStringLiteral("  Doppler client's errors"), DopplerErrors(s), DopplerErrors(r), QStringLiteral("0")});
    table.row({QStringLiteral("Pollers' errors"), PollerErrors(s.pollers), PollerErrors(r.pollers),
               QStringLiteral("0")});
    table.row({QStringLiteral("Serial commands/s in the window"), OpcodeList(s.opcodes, s.seconds),
               OpcodeList(r.opcodes, r.seconds), QString()});
    table.row({QStringLiteral("Overlapping commands (whole run)"), QString::number(s.overlaps),
               QString::number(r.overlaps), QStringLiteral("0")});
}
