// A slow or silent radio behind each sharing server: how long a client's
// frequency set waits for the line when every read of the poll takes its
// time-out (a radio that does not answer) or a reply that comes 60 ms late.
// Every reply is awaited for a bounded time, so a server that never answers
// shows as "no reply in N s" instead of stalling the benchmark.

#include "slow_radio_bench.h"

#include "bench_cells.h"
#include "bench_server.h"
#include "bench_table.h"
#include "network_measure.h"

#include <QStandardPaths>

#include <cstdio>

namespace {

constexpr int kSlowSets = 40;
constexpr int kReplyBoundS = 5;
constexpr int kGiveUpAfter = 3; // time-outs in a row

struct SlowRun {
    QString failure;
    ClientStats sets;
    int setsOnLine = 0; // 01 on the line
};

struct SlowRadio {
    const char* name;
    BenchRadio radio;
};

SlowRun Measure(bool solvane, const QString& solvaneProgram, const BenchRadio& radio)
{
    SlowRun run;
    BenchServer server;
    const bool started = solvane ? server.startSolvane(solvaneProgram, {}, radio) : server.startRigctld(radio);
    if (!started) {
        run.failure = server.failure();
        return run;
    }
    const int from = int(server.sim().loggedCommands().size());
    run.sets = SetFrequencies(server.port(), kSlowSets, kReplyBoundS * 1000, kGiveUpAfter);
    run.setsOnLine = SettledCount(server.sim(), from, QStringLiteral("01"));
    return run;
}

QString Answered(const SlowRun& run)
{
    if (!run.failure.isEmpty())
        return run.failure;
    return AnsweredLatency(run.sets, kReplyBoundS);
}

QString OnLine(const SlowRun& run)
{
    return run.failure.isEmpty() ? QStringLiteral("%1 RPRT 0 / %2 on the line").arg(run.sets.answered).arg(run.setsOnLine)
                                 : QString();
}

} // namespace

void RunSlowRadioBench(const QString& solvaneProgram)
{
    const SlowRadio radios[] = {
        {"silent radio", {{QStringLiteral("--silent")}, false}},
        {"replies 60 ms late", {{QStringLiteral("--delay-ms"), QStringLiteral("60")}, true}},
    };
    const bool haveRigctld = !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty();
    std::printf("\nA slow radio: one client sets %d frequencies, each awaited to its RPRT for at most %d s, with\n"
                "100 to 200 ms between them, through each server in turn against a simulator paced at %d baud\n"
                "that never answers (--silent) or answers every command 60 ms late (--delay-ms 60). After %d\n"
                "replies missing in a row the client stops asking.\n\n",
                kSlowSets, kReplyBoundS, kBenchBaud, kGiveUpAfter);
    Table table({{"Measure", 56}, {"Solvane", 44}, {"rigctld -m 1001", 44}, {"Goal", 12}});
    table.header();
    const char* goals[] = {"p99 < 1.5 s", "p99 < 250 ms"};
    for (int i = 0; i < 2; ++i) {
        const SlowRun s = Measure(true, solvaneProgram, radios[i].radio);
        SlowRun r;
        if (haveRigctld)
            r = Measure(false, solvaneProgram, radios[i].radio);
        else
            r.failure = QStringLiteral("rigctld is missing (libhamlib-utils)");
        table.row({QStringLiteral("F to RPRT 0, %1 (median / p99; answered)").arg(QLatin1String(radios[i].name)),
                   Answered(s), Answered(r), QString::fromLatin1(goals[i])});
        table.row({QStringLiteral("  sets answered against 01 on the line"), OnLine(s), OnLine(r),
                   QStringLiteral("equal")});
    }
}
