#include "poll_cost.h"

#include "bench_server.h"
#include "bench_window.h"
#include "rig_client.h"
#include "sim_process.h"
#include "syscall_count.h"

#include <QElapsedTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr int kBaud = 4800;
const QString kRead = QStringLiteral("00 00 00 00 03");

QString Setting(const QString& platform)
{
    return QStringLiteral("%1 baud, steady, %2").arg(kBaud).arg(platform);
}

// The three rows from what was measured over two windows: CPU and context
// switches over the first, system calls (strace slows each) over the second.
void Rows(const QString& setting, double seconds, double cpuSeconds, long switches, int rounds,
          const SyscallTotals& calls, int tracedRounds, const QString& callFailure, const PollCostRow& row)
{
    row(QStringLiteral("System calls a poll round, %1").arg(setting),
        callFailure.isEmpty() ? PerUnit(calls, tracedRounds, QStringLiteral("round")) : callFailure,
        QStringLiteral("goal <= 16 under Xvfb"));
    row(QStringLiteral("Voluntary switches a round, %1").arg(setting),
        rounds > 0 ? QStringLiteral("%1 a round (%2 rounds)").arg(double(switches) / rounds, 0, 'f', 2).arg(rounds)
                   : QStringLiteral("no rounds"),
        QStringLiteral("goal <= 4"));
    row(QStringLiteral("CPU polling at 10 Hz, %1").arg(setting),
        QStringLiteral("%1 % of a core over %2 s").arg(100.0 * cpuSeconds / seconds, 0, 'f', 2).arg(seconds, 0, 'f', 0),
        QStringLiteral("goal < 0.3 %"));
}

} // namespace

void WindowPollCostRows(const QString& platform, int seconds, const PollCostRow& row)
{
    SimProcess sim;
    sim.start({QStringLiteral("--baud"), QString::number(kBaud), QStringLiteral("--smeter"), QStringLiteral("9")});
    MapPort(sim.device(), kBaud);
    BenchWindow b;
    b.start();
    b.window->show();
    int rounds = 0;
    QObject::connect(&b.window->Radio(), &Transceiver::roundFinished, [&] { ++rounds; });
    RunFor(2000); // the line proves itself on time

    const int rounds0 = rounds;
    const double cpu0 = CpuSeconds();
    const long switches0 = VoluntarySwitches();
    QElapsedTimer clock;
    clock.start();
    RunFor(seconds * 1000);
    const double elapsed = clock.elapsed() / 1000.0;
    const double cpu = CpuSeconds() - cpu0;
    const long switches = VoluntarySwitches() - switches0;
    const int measured = rounds - rounds0;

    SyscallCount count;
    SyscallTotals calls;
    int traced = 0;
    if (count.start(getpid())) {
        const int before = rounds;
        RunFor(std::min(seconds, 10) * 1000);
        traced = rounds - before;
        calls = count.stop();
    }
    Rows(Setting(platform), elapsed, cpu, switches, measured, calls, traced, count.failure(), row);
    b.window->close();
    b.waitIdle();
}

void HeadlessPollCostRows(const QString& solvaneProgram, int seconds, const PollCostRow& row)
{
    const QString setting = Setting(QStringLiteral("headless"));
    BenchServer server;
    if (!server.startSolvane(solvaneProgram, {}, {.simArgs = {QStringLiteral("--smeter"), QStringLiteral("9")}})) {
        row(QStringLiteral("Poll round, %1").arg(setting), server.failure(), QString());
        return;
    }
    RigClient idle; // asks nothing: the server polls for it
    idle.connectTo(server.port());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    auto reads = [&] { return int(server.sim().loggedCommands().count(kRead)); };

    const int rounds0 = reads();
    const double cpu0 = server.runSeconds();
    const long switches0 = server.voluntarySwitches();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = server.runSeconds() - cpu0;
    const long switches = server.voluntarySwitches() - switches0;
    const int rounds = reads() - rounds0;

    SyscallCount count;
    SyscallTotals calls;
    int traced = 0;
    if (count.start(server.pid())) {
        const int before = reads();
        std::this_thread::sleep_for(std::chrono::seconds(std::min(seconds, 10)));
        traced = reads() - before;
        calls = count.stop();
    }
    Rows(setting, elapsed, cpu, switches, rounds, calls, traced, count.failure(), row);
}
