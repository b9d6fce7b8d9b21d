#include "network_measure.h"

#include "bench_server.h"
#include "flood_client.h"

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

QString Opcode(const QString& logLine)
{
    if (logLine.startsWith(QLatin1String("OVERLAP")) || logLine.startsWith(QLatin1String("PARTIAL")))
        return logLine.section(QLatin1Char(' '), 0, 0);
    return logLine.section(QLatin1Char(' '), -1);
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

} // namespace

int SettledCount(SimProcess& sim, int from, const QString& opcode)
{
    // A set answered as its last byte leaves the port may reach the log a
    // moment later.
    int count = Opcodes(sim.loggedCommands().mid(from)).value(opcode);
    for (const auto end = Clock::now() + 3s; Clock::now() < end;) {
        std::this_thread::sleep_for(300ms);
        const int now = Opcodes(sim.loggedCommands().mid(from)).value(opcode);
        if (now == count)
            break;
        count = now;
    }
    return count;
}

QMap<QString, int> Opcodes(const QStringList& logLines)
{
    QMap<QString, int> count;
    for (const QString& line : logLines)
        ++count[Opcode(line)];
    return count;
}

LoadWindow MeasureLoad(BenchServer& server, int seconds)
{
    LoadWindow w;
    Pollers pollers(server.port());
    w.connectFailures = pollers.connectFailures();
    const int logBefore = int(server.sim().loggedCommands().size());
    const double cpuBefore = server.cpuSeconds();
    const double runBefore = server.runSeconds();
    const auto start = Clock::now();
    w.pollers = pollers.run(std::chrono::seconds(seconds));
    w.seconds = SecondsSince(start);
    w.cpuSeconds = server.cpuSeconds() - cpuBefore;
    w.runSeconds = server.runSeconds() - runBefore;
    w.opcodes = Opcodes(server.sim().loggedCommands().mid(logBefore));
    return w;
}

SyscallWindow MeasureSyscalls(BenchServer& server, int seconds)
{
    SyscallWindow w;
    Pollers pollers(server.port());
    SyscallCount count;
    if (!count.start(server.pid())) {
        w.failure = count.failure();
        return w;
    }
    w.answered = pollers.run(std::chrono::seconds(seconds)).answered;
    w.calls = count.stop();
    return w;
}

FloodWindow MeasureFlood(BenchServer& server, int seconds)
{
    FloodWindow w;
    Pollers pollers(server.port());
    FloodClient flood(FloodWindow::kDepth);
    if (!flood.connectTo(server.port())) {
        w.failure = QStringLiteral("the flood client could not connect");
        return w;
    }
    const int logBefore = int(server.sim().loggedCommands().size());
    flood.start();
    const auto start = Clock::now();
    w.pollers = pollers.run(std::chrono::seconds(seconds));
    w.seconds = SecondsSince(start);
    const QMap<QString, int> window = Opcodes(server.sim().loggedCommands().mid(logBefore));
    w.pollRounds = window.value(QStringLiteral("03"));
    w.setsInWindow = window.value(QStringLiteral("01"));
    // What is in flight drains while replies keep coming, for at most 90 s.
    const auto drainStart = Clock::now();
    flood.drain(5s, 90s);
    w.drainSeconds = SecondsSince(drainStart);
    flood.close();
    w.sent = flood.sent();
    w.ok = flood.ok();
    w.refused = flood.refused();
    w.unanswered = flood.unanswered();
    w.closedByServer = flood.closedByServer();
    w.setsOnLine = SettledCount(server.sim(), logBefore, QStringLiteral("01"));
    return w;
}

int ServerResults::errors() const
{
    return one.errors() + paired.errors() + sets.errors() + setsPollers.errors() + load.pollers.errors()
           + load.connectFailures;
}

ServerResults MeasureServer(BenchServer& server, bool started, int seconds)
{
    ServerResults r;
    if (!started) {
        r.failure = server.failure();
        return r;
    }
    const auto half = std::chrono::seconds(std::max(5, seconds / 2));
    const double cpuBefore = server.cpuSeconds();
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(half);
    r.idleCpuPercent = 100.0 * (server.cpuSeconds() - cpuBefore) / SecondsSince(idleStart);

    // Each phase starts a second after the last one's clients closed, so
    // that the server has let go of them and their slots are free.
    r.one = AskEvery(server.port(), "f", 1, 50ms, half);
    std::this_thread::sleep_for(1s);
    // Two requests in one packet; the time runs to the end of m's two lines.
    r.paired = AskEvery(server.port(), "f\nm", 3, 50ms, half);
    std::this_thread::sleep_for(1s);

    const int setsFrom = int(server.sim().loggedCommands().size());
    {
        Pollers pollers(server.port());
        pollers.start();
        r.sets = SetFrequencies(server.port(), kFrequencySets);
        r.setsPollers = pollers.stop();
    }
    r.setsOnLine = SettledCount(server.sim(), setsFrom, QStringLiteral("01"));
    std::this_thread::sleep_for(1s);

    r.load = MeasureLoad(server, seconds);
    std::this_thread::sleep_for(1s);
    r.syscalls = MeasureSyscalls(server, std::min(seconds, 10));
    std::this_thread::sleep_for(1s);
    r.flood = MeasureFlood(server, seconds);
    r.runOpcodes = Opcodes(server.sim().loggedCommands());
    r.overlaps = server.sim().loggedOverlaps();
    return r;
}
