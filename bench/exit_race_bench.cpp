#include "exit_race_bench.h"

#include "bench_server.h"
#include "bench_table.h"
#include "rig_client.h"

#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <random>
#include <thread>

namespace {

struct RaceResults {
    int runs = 0;
    int leftTransmitting = 0;
    int notStarted = 0;  // the server or the key did not come up: not a run
    int releaseLast = 0; // runs whose log ends with the release (80)
    std::vector<double> exitMs; // SIGTERM to the process gone
};

RaceResults Race(const QString& program, const QStringList& simArgs, int runs)
{
    RaceResults r;
    std::mt19937 random(847);
    std::uniform_int_distribution<int> delayUs(0, 4000);
    for (int i = 0; i < runs; ++i) {
        BenchServer server;
        RigClient keyer;
        if (!server.startSolvane(program, {}, {simArgs}) || !keyer.connectTo(server.port(), 5000)) {
            ++r.notStarted;
            continue;
        }
        const auto keyed = keyer.ask("T 1", 1);
        if (!keyed || keyed->error) {
            ++r.notStarted;
            continue;
        }
        keyer.close();
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(server.pid()), SIGTERM);
        server.stopServer();
        r.exitMs.push_back(clock.nsecsElapsed() / 1e6);
        ++r.runs;
        const QStringList states = server.sim().loggedStates().filter(QStringLiteral("transmit"));
        if (!states.isEmpty() && states.last().startsWith(QLatin1String("transmit on")))
            ++r.leftTransmitting;
        const QStringList commands = server.sim().loggedCommands();
        if (!commands.isEmpty() && commands.last().endsWith(QLatin1String(" 80")))
            ++r.releaseLast;
    }
    return r;
}

QString Cell(const RaceResults& r)
{
    QString cell = QStringLiteral("%1 of %2 runs").arg(r.leftTransmitting).arg(r.runs);
    if (r.notStarted > 0)
        cell += QStringLiteral(" (%1 did not start)").arg(r.notStarted);
    return cell;
}

} // namespace

void RunExitRaceBench(const QString& solvaneProgram, int runs)
{
    std::printf("\nThe exit race, %d runs each: `solvane --headless` against a fresh simulator paced at %d baud;\n"
                "a client keys (T 1, RPRT 0), closes its connection, and SIGTERM follows 0 to 4 ms later. A run\n"
                "left the radio transmitting when the simulator's last transmit state is on.\n\n",
                runs, kBenchBaud);
    Table table({{"Radio", 30}, {"Left transmitting", 36}, {"Release (80) last", 20}, {"SIGTERM to exit (med / max)", 28},
                 {"Goal", 6}});
    table.header();
    const std::pair<const char*, QStringList> radios[] = {
        {"replies on time", {}},
        {"replies 400 ms late", {QStringLiteral("--delay-ms"), QStringLiteral("400")}},
    };
    for (const auto& [name, simArgs] : radios) {
        const RaceResults r = Race(solvaneProgram, simArgs, runs);
        const double maxMs = r.exitMs.empty() ? 0 : *std::max_element(r.exitMs.begin(), r.exitMs.end());
        table.row({QLatin1String(name), Cell(r), QStringLiteral("%1 of %2").arg(r.releaseLast).arg(r.runs),
                   QStringLiteral("%1 / %2 ms").arg(Percentile(r.exitMs, 0.5), 0, 'f', 1).arg(maxMs, 0, 'f', 1),
                   QStringLiteral("0")});
    }
}
