#include "radio_report_bench.h"

#include "bench_cells.h"
#include "bench_server.h"
#include "bench_table.h"
#include "network_phases.h"
#include "rig_client.h"

#include <QStandardPaths>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kMicKeys = 20;
constexpr int kSetsEach = 20;
constexpr auto kRoundWindow = 5s;
constexpr auto kBound = 3s; // a key at the radio not read within this counts as never

// The FM settings as a program sends them, and the opcode each puts on the line.
struct FmSet {
    const char* request;
    const char* opcode;
};
constexpr FmSet kFmSets[] = {{"C 670", "0B"}, {"R +", "09"}, {"O 600000", "F9"}, {"U TONE 1", "0A"}};

struct ReportResults {
    QString failure;
    std::vector<double> micMs; // the panel key pressed to t reading 1
    int micNever = 0;
    QString tReply;            // what t answered while keyed at the radio, when not 1
    double roundsNormal = 0, roundsSatellite = 0;
    ClientStats sets[std::size(kFmSets)];
    int onLine[std::size(kFmSets)] = {};
};

int Logged(SimProcess& sim, const char* opcode)
{
    int n = 0;
    for (const QString& line : sim.loggedCommands())
        n += line.endsWith(QLatin1Char(' ') + QLatin1String(opcode)) ? 1 : 0;
    return n;
}

// Commands with any of `opcodes` per second over kRoundWindow.
double PerSecond(SimProcess& sim, std::initializer_list<const char*> opcodes)
{
    const auto count = [&] {
        int n = 0;
        for (const char* opcode : opcodes)
            n += Logged(sim, opcode);
        return n;
    };
    const int before = count();
    std::this_thread::sleep_for(kRoundWindow);
    return (count() - before) / std::chrono::duration<double>(kRoundWindow).count();
}

// Asks `t` until it answers `want`, within kBound; the time it took.
std::optional<double> WaitForPtt(RigClient& client, const std::string& want, std::string& last)
{
    const auto start = Clock::now();
    while (Clock::now() - start < kBound) {
        if (const auto reply = client.ask("t", 1)) {
            last = reply->first;
            if (reply->first == want)
                return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        std::this_thread::sleep_for(5ms);
    }
    return std::nullopt;
}

// `solvane`: its rounds in satellite mode are counted by their uplink read;
// rigctld has no poll of its own, and every frequency read it sends counts.
ReportResults Measure(BenchServer& server, bool started, bool solvane)
{
    ReportResults r;
    if (!started) {
        r.failure = server.failure();
        return r;
    }
    Pollers pollers(server.port());
    pollers.start();
    r.roundsNormal = PerSecond(server.sim(), {"03"});

    RigClient client;
    client.connectTo(server.port());
    std::mt19937 random(847);
    std::uniform_int_distribution<int> pauseMs(300, 600);
    for (int i = 0; i < kMicKeys; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
        std::string last;
        const auto start = Clock::now();
        server.sim().send(QStringLiteral("ptt on"));
        if (const auto ms = WaitForPtt(client, "1", last))
            r.micMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        else {
            ++r.micNever;
            r.tReply = QString::fromStdString(last);
        }
        server.sim().send(QStringLiteral("ptt off"));
        WaitForPtt(client, "0", last);
    }

    for (std::size_t s = 0; s < std::size(kFmSets); ++s) {
        const int before = Logged(server.sim(), kFmSets[s].opcode);
        for (int i = 0; i < kSetsEach; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random) / 3));
            ClientStats& stats = r.sets[s];
            ++stats.asked;
            const auto reply = client.ask(kFmSets[s].request, 1);
            if (!reply) {
                ++stats.timeouts;
                client.connectTo(server.port());
            } else if (reply->error) {
                ++stats.refused;
            } else {
                ++stats.answered;
                stats.ms.push_back(reply->ms);
            }
        }
        std::this_thread::sleep_for(200ms); // the last one framed by the simulator
        r.onLine[s] = Logged(server.sim(), kFmSets[s].opcode) - before;
    }

    client.ask("S 1 Sub", 1);
    std::this_thread::sleep_for(500ms);
    r.roundsSatellite = solvane ? PerSecond(server.sim(), {"23"}) : PerSecond(server.sim(), {"03", "13", "23"});
    pollers.stop();
    return r;
}

QString Mic(const ReportResults& r)
{
    QString cell = r.micMs.empty() ? QStringLiteral("never") : Latency(r.micMs);
    if (r.micNever > 0)
        cell += QStringLiteral("; %1 of %2 never (t: %3)").arg(r.micNever).arg(kMicKeys).arg(r.tReply);
    return cell;
}

QString Set(const ReportResults& r, std::size_t s)
{
    const ClientStats& c = r.sets[s];
    return QStringLiteral("%1; %2 RPRT 0, %3 RPRT -n; %4 on the line")
        .arg(c.ms.empty() ? QStringLiteral("-") : Latency(c.ms))
        .arg(c.answered)
        .arg(c.refused + c.timeouts)
        .arg(r.onLine[s]);
}

} // namespace

void RunRadioReportBench(const QString& solvaneProgram)
{
    ReportResults s, r;
    {
        BenchServer server;
        s = Measure(server, server.startSolvane(solvaneProgram), true);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty()) {
        r.failure = QStringLiteral("rigctld is missing (libhamlib-utils)");
    } else {
        BenchServer server;
        r = Measure(server, server.startRigctld(), false);
    }
    std::printf("\nThe radio as it reports itself, each server in turn against its own simulator paced at %d baud,\n"
                "while %d clients poll f and m at 10 Hz: poll rounds per second (03, then 23 after `S 1 Sub`;\n"
                "for rigctld, which has no poll, its frequency reads) over %lld s each; %d times the simulator's\n"
                "front-panel PTT pressed while another client asks t every 5 ms, to its first 1; then %d of each\n"
                "FM setting, awaited, 100 to 200 ms apart.\n\n",
                kBenchBaud, Pollers::kClients, static_cast<long long>(kRoundWindow.count()), kMicKeys, kSetsEach);
    Table table({{"Measure", 36}, {"Solvane", 52}, {"rigctld -m 1001", 52}, {"Goal", 14}});
    table.header();
    for (const ReportResults* x : {&s, &r})
        if (!x->failure.isEmpty())
            table.row({x == &s ? "Solvane failed" : "rigctld failed", x->failure});
    table.row({QStringLiteral("Microphone key to t = 1 (med / p99)"), Mic(s), Mic(r), QStringLiteral("p99 < 300 ms")});
    table.row({QStringLiteral("Poll rounds/s, normal (03)"), QString::number(s.roundsNormal, 'f', 1),
               QString::number(r.roundsNormal, 'f', 1), QStringLiteral(">= 10")});
    table.row({QStringLiteral("Poll rounds/s, satellite (23)"), QString::number(s.roundsSatellite, 'f', 1),
               QString::number(r.roundsSatellite, 'f', 1), QStringLiteral(">= 10")});
    for (std::size_t i = 0; i < std::size(kFmSets); ++i)
        table.row({QStringLiteral("%1 to RPRT 0 (med / p99)").arg(QLatin1String(kFmSets[i].request)), Set(s, i),
                   Set(r, i), QStringLiteral("on the line")});
}
