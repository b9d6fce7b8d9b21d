#include "transmit_measure.h"

#include "bench_server.h"
#include "key_child.h"
#include "log_watcher.h"
#include "network_measure.h"
#include "rig_client.h"
#include "watcher_probe.h"

#include <random>
#include <thread>

namespace {

using Clock = LogWatcher::Clock;
using namespace std::chrono_literals;

double MsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Asks `request`, counting a refusal or a time-out; a failed client is
// connected again. The reply's time when it was RPRT 0.
std::optional<double> Set(RigClient& client, int port, const char* request, TransmitResults& r)
{
    const auto reply = client.ask(request, 1);
    if (reply && !reply->error)
        return reply->ms;
    ++(reply ? r.refused : r.timeouts);
    if (!client.connected())
        client.connectTo(port, TransmitResults::kReplyBoundMs);
    return std::nullopt;
}

// Key, hold, unkey, listen, each pause 100 to 200 ms (as WSJT-X waits
// 100 ms after each change), until `seconds` have passed.
void Cycles(BenchServer& server, const LogWatcher& watcher, int seconds, TransmitResults& r)
{
    std::mt19937 random(847);
    std::uniform_int_distribution<int> pauseMs(100, 200);
    RigClient client;
    client.connectTo(server.port(), TransmitResults::kReplyBoundMs);
    const auto start = Clock::now();
    for (const auto end = start + std::chrono::seconds(seconds); Clock::now() < end; ++r.cycles) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
        if (const auto ms = Set(client, server.port(), "T 1", r))
            r.keyMs.push_back(*ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
        const std::size_t from = watcher.size();
        const auto sent = Clock::now();
        const auto ms = Set(client, server.port(), "T 0", r);
        if (!ms)
            continue;
        r.unkeyMs.push_back(*ms);
        if (const auto seen = watcher.waitFor(from, "88", sent + std::chrono::milliseconds(TransmitResults::kLineBoundMs)))
            r.unkeyLineMs.push_back(MsBetween(sent, seen->seen));
        else
            ++r.unkeysNotSeen;
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
}

// Unkeys for a server that left the radio keyed, so that the next phase
// starts receiving; waits (bounded) for the 88.
void UnkeyLeftOver(BenchServer& server, const LogWatcher& watcher)
{
    RigClient client;
    const std::size_t from = watcher.size();
    if (client.connectTo(server.port(), TransmitResults::kReplyBoundMs) && client.ask("T 0", 1))
        watcher.waitFor(from, "88", Clock::now() + 3s);
}

void Kills(BenchServer& server, const LogWatcher& watcher, const QString& benchProgram, TransmitResults& r)
{
    std::mt19937 random(4800);
    std::uniform_int_distribution<int> pauseMs(100, 300);
    for (int i = 0; i < TransmitResults::kKills; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
        KeyingChild child;
        if (!child.start(benchProgram, server.port(), 2 * TransmitResults::kReplyBoundMs)) {
            r.killFailure = child.failure();
            return;
        }
        ++r.killsTried;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
        const std::size_t from = watcher.size();
        const auto killed = child.kill();
        const auto seen = watcher.waitFor(from, "88", killed + std::chrono::seconds(TransmitResults::kKillBoundS));
        if (!seen) {
            // Left keyed: one kill shows it; unkey and stop.
            ++r.killsNever;
            UnkeyLeftOver(server, watcher);
            return;
        }
        r.killMs.push_back(MsBetween(killed, seen->seen));
    }
}

} // namespace

TransmitResults MeasureTransmit(BenchServer& server, bool started, const QString& benchProgram, int seconds)
{
    TransmitResults r;
    if (!started) {
        r.failure = server.failure();
        return r;
    }
    LogWatcher watcher(server.sim().logPath().toStdString());
    if (!watcher.watching()) {
        r.failure = QStringLiteral("cannot watch the simulator's log");
        return r;
    }
    const int logFrom = int(server.sim().loggedCommands().size());
    Pollers pollers(server.port());
    pollers.start();
    WatcherProbe probe;
    probe.start();
    Cycles(server, watcher, seconds, r);
    r.watcherMs = probe.stop();
    r.keysOnLine = SettledCount(server.sim(), logFrom, QStringLiteral("08"));
    r.unkeysOnLine = SettledCount(server.sim(), logFrom, QStringLiteral("88"));
    Kills(server, watcher, benchProgram, r);
    r.pollers = pollers.stop();
    return r;
}
