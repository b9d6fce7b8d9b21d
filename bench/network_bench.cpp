// The sharing server side by side with Debian's rigctld (model 1001, its
// FT-847 backend): each in turn runs against its own simulator paced at
// 4800 baud, and the same clients measure both. Prints a second table.

#include "network_bench.h"

#include "bench_table.h"
#include "rig_client.h"
#include "sim_process.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int LineBaud = 4800;
constexpr int LoadClients = 20;
constexpr auto LoadPeriod = 100ms;
constexpr int FrequencySets = 50;

// One server under test: a simulator, and Solvane or rigctld on a loopback port.
struct Server {
    SimProcess sim;
    QTemporaryDir dir;
    QProcess process;
    int port = 0;
    QString failure;

    bool startSolvane(const QString& program)
    {
        if (!startSim())
            return false;
        QFile conf(dir.filePath(QStringLiteral("Solvane.conf")));
        if (!conf.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write Solvane.conf"));
        conf.write("[Ports]\nCOM2=" + sim.device().toLocal8Bit() + "\n[Settings]\nCommport=2\nCommSpeed=\""
                   + QByteArray::number(LineBaud) + ",N,8,1\"\n");
        conf.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        return launch(program, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)});
    }

    bool startRigctld()
    {
        if (!startSim())
            return false;
        return launch(QStringLiteral("rigctld"),
                      {QStringLiteral("-m"), QStringLiteral("1001"), QStringLiteral("-r"), sim.device(),
                       QStringLiteral("-s"), QString::number(LineBaud), QStringLiteral("-t"), QString::number(port),
                       QStringLiteral("-T"), QStringLiteral("127.0.0.1")});
    }

    qint64 pid() const { return process.processId(); }

    // CPU seconds the server has used, from /proc/<pid>/stat (utime + stime).
    double cpuSeconds() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        // After the name: field 3 (state) is at index 0, utime (14) at 11.
        if (fields.size() < 13)
            return 0;
        return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    }

    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
        sim.stop();
    }
    ~Server() { stop(); }

private:
    bool fail(const QString& why)
    {
        failure = why;
        return false;
    }
    bool startSim()
    {
        if (!dir.isValid() || !sim.start({QStringLiteral("--baud"), QString::number(LineBaud)}))
            return fail(QStringLiteral("the simulator did not start"));
        port = FreeLoopbackPort();
        return true;
    }
    // Starts the server and waits (bounded) until it answers `f` with a number.
    bool launch(const QString& program, const QStringList& args)
    {
        process.setWorkingDirectory(dir.path());
        process.setStandardOutputFile(dir.filePath(QStringLiteral("server.out")));
        process.setStandardErrorFile(dir.filePath(QStringLiteral("server.err")));
        process.start(program, args);
        if (!process.waitForStarted(5000))
            return fail(program + QStringLiteral(" did not start"));
        const auto deadline = Clock::now() + 15s;
        RigClient probe;
        while (Clock::now() < deadline && process.state() == QProcess::Running) {
            if (probe.connected() || probe.connectTo(port)) {
                const auto reply = probe.ask("f", 1);
                if (reply && !reply->error)
                    return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return fail(program + QStringLiteral(" never answered f on port %1").arg(port));
    }
};

struct Results {
    QString failure;
    std::vector<double> fOne, fLoaded, setF;
    int errors = 0;     // RPRT -n replies and unanswered requests, all phases
    int loadedAsked = 0;
    double windowSeconds = 0;
    double lineCommandsPerSecond = 0;
    QMap<QString, int> windowOpcodes; // what the line carried in the load window
    QMap<QString, int> runOpcodes;    // ... and over the whole run
    int overlaps = 0;
    double idleCpuPercent = 0; // no client connected
    double cpuPercent = 0;     // the many-client window
};

QString Opcode(const QString& logLine)
{
    if (logLine.startsWith(QLatin1String("OVERLAP")) || logLine.startsWith(QLatin1String("PARTIAL")))
        return logLine.section(QLatin1Char(' '), 0, 0);
    return logLine.section(QLatin1Char(' '), -1);
}

QMap<QString, int> Opcodes(const QStringList& lines)
{
    QMap<QString, int> count;
    for (const QString& line : lines)
        ++count[Opcode(line)];
    return count;
}

// One client asking `f` every `period` for `length`.
void OneClient(int port, std::chrono::milliseconds length, std::chrono::milliseconds period, Results& r)
{
    RigClient client;
    if (!client.connectTo(port)) {
        ++r.errors;
        return;
    }
    const auto end = Clock::now() + length;
    for (auto next = Clock::now(); next < end; next += period) {
        std::this_thread::sleep_until(next);
        const auto reply = client.ask("f", 1);
        if (reply && !reply->error)
            r.fOne.push_back(reply->ms);
        else if (++r.errors, !client.connected() && !client.connectTo(port))
            return;
    }
}

// Sets a new frequency each time, one client, until RPRT 0. The pauses
// between sets vary so that the sets meet the poll round at every phase.
void SetFrequencies(int port, Results& r)
{
    std::mt19937 random(847);
    std::uniform_int_distribution<int> pauseMs(100, 200);
    RigClient client;
    if (!client.connectTo(port)) {
        ++r.errors;
        return;
    }
    for (int i = 0; i < FrequencySets; ++i) {
        // 14.074.000 Hz and up in 1 kHz steps: each set differs from the last.
        const auto reply = client.ask("F " + std::to_string(14074000 + (i + 1) * 1000), 1);
        if (reply && !reply->error)
            r.setF.push_back(reply->ms);
        else if (++r.errors, !client.connected() && !client.connectTo(port))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
    }
}

// `LoadClients` clients, each asking `f` then `m` every LoadPeriod, their
// starts spread over the period; the `f` latencies of all of them.
void LoadWindow(Server& server, int seconds, Results& r)
{
    std::vector<std::unique_ptr<RigClient>> clients;
    for (int i = 0; i < LoadClients; ++i) {
        clients.push_back(std::make_unique<RigClient>());
        if (!clients.back()->connectTo(server.port))
            ++r.errors;
    }
    std::vector<std::vector<double>> latencies(LoadClients);
    std::atomic<int> errors{0}, asked{0};
    const int logBefore = int(server.sim.loggedCommands().size());
    const double cpuBefore = server.cpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < LoadClients; ++i) {
        threads.emplace_back([&, i] {
            RigClient& client = *clients[i];
            for (auto next = start + i * LoadPeriod / LoadClients; client.connected(); next += LoadPeriod) {
                next = std::max(next, Clock::now());
                std::this_thread::sleep_until(next);
                if (Clock::now() >= end)
                    break;
                ++asked;
                const auto f = client.ask("f", 1);
                if (f && !f->error)
                    latencies[i].push_back(f->ms);
                else
                    ++errors;
                const auto m = client.ask("m", 2);
                if (!m || m->error)
                    ++errors;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    r.windowSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.cpuPercent = 100.0 * (server.cpuSeconds() - cpuBefore) / r.windowSeconds;
    const QStringList log = server.sim.loggedCommands();
    r.lineCommandsPerSecond = (log.size() - logBefore) / r.windowSeconds;
    r.windowOpcodes = Opcodes(log.mid(logBefore));
    for (const auto& l : latencies)
        r.fLoaded.insert(r.fLoaded.end(), l.begin(), l.end());
    r.errors += errors;
    r.loadedAsked = asked;
}

Results Measure(Server& server, bool started, int seconds)
{
    Results r;
    if (!started) {
        r.failure = server.failure;
        return r;
    }
    const double idleSeconds = std::max(5, seconds / 2);
    const double idleBefore = server.cpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    r.idleCpuPercent = 100.0 * (server.cpuSeconds() - idleBefore) / idleSeconds;
    OneClient(server.port, std::chrono::seconds(std::max(5, seconds / 2)), 50ms, r);
    SetFrequencies(server.port, r);
    LoadWindow(server, seconds, r);
    r.runOpcodes = Opcodes(server.sim.loggedCommands());
    r.overlaps = server.sim.loggedOverlaps();
    return r;
}

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

QString Ratio(double solvane, double rigctld)
{
    return solvane > 0 ? QStringLiteral("x%1").arg(rigctld / solvane, 0, 'f', 1) : QStringLiteral("-");
}

QString OpcodeList(const QMap<QString, int>& count, double seconds)
{
    QStringList parts;
    for (auto it = count.begin(); it != count.end(); ++it)
        parts << (seconds > 0 ? QStringLiteral("%1 %2/s").arg(it.key()).arg(it.value() / seconds, 0, 'f', 1)
                              : QStringLiteral("%1 x%2").arg(it.key()).arg(it.value()));
    return parts.join(QStringLiteral(", "));
}

// Commands other than the poll (03, E7), the sets (01), take and release
// control (00, 80) over the whole run; overlaps and partial frames count too.
QString Extras(const Results& r)
{
    QMap<QString, int> extra = r.runOpcodes;
    for (const char* expected : {"03", "E7", "01", "00", "80"})
        extra.remove(QString::fromLatin1(expected));
    return extra.isEmpty() ? QStringLiteral("none") : OpcodeList(extra, 0);
}

} // namespace

void RunNetworkBench(const QString& solvaneProgram, int seconds)
{
    Results solvane, rigctld;
    {
        Server server;
        solvane = Measure(server, server.startSolvane(solvaneProgram), seconds);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty()) {
        rigctld.failure = QStringLiteral("rigctld is missing (libhamlib-utils)");
    } else {
        Server server;
        rigctld = Measure(server, server.startRigctld(), seconds);
    }

    std::printf("\nSharing the radio, against a simulator paced at %d baud; %d clients poll f and m at 10 Hz for %d s.\n\n",
                LineBaud, LoadClients, seconds);
    Table table({{"Measure", 40}, {"Solvane", 30}, {"rigctld -m 1001", 30}, {"rigctld / Solvane", 18},
                 {"Goal", 26}});
    table.header();
    for (const Results* r : {&solvane, &rigctld})
        if (!r->failure.isEmpty())
            table.row({r == &solvane ? "Solvane failed" : "rigctld failed", r->failure});
    table.row({QStringLiteral("f latency, 1 client (median / p99)"), Latency(solvane.fOne), Latency(rigctld.fOne),
               LatencyRatio(solvane.fOne, rigctld.fOne), QString()});
    table.row({QStringLiteral("f latency, %1 clients (median / p99)").arg(LoadClients), Latency(solvane.fLoaded),
               Latency(rigctld.fLoaded), LatencyRatio(solvane.fLoaded, rigctld.fLoaded),
               QStringLiteral("p99 < 1 ms")});
    table.row({QStringLiteral("F latency to RPRT 0 (median / p99)"), Latency(solvane.setF), Latency(rigctld.setF),
               LatencyRatio(solvane.setF, rigctld.setF), QStringLiteral("< 40 ms at %1 baud").arg(LineBaud)});
    table.row({QStringLiteral("Serial commands/s, %1 clients").arg(LoadClients),
               QStringLiteral("%1").arg(solvane.lineCommandsPerSecond, 0, 'f', 1),
               QStringLiteral("%1").arg(rigctld.lineCommandsPerSecond, 0, 'f', 1),
               Ratio(solvane.lineCommandsPerSecond, rigctld.lineCommandsPerSecond), QStringLiteral("poll: 20 (03+E7)")});
    table.row({QStringLiteral("  by opcode"), OpcodeList(solvane.windowOpcodes, solvane.windowSeconds),
               OpcodeList(rigctld.windowOpcodes, rigctld.windowSeconds), QString(), QString()});
    table.row({QStringLiteral("Beyond poll, sets, 00/80 (whole run)"), Extras(solvane), Extras(rigctld), QString(),
               QStringLiteral("none")});
    auto setsOnLine = [](const Results& r) {
        return QStringLiteral("%1 on the line, %2 answered RPRT 0")
            .arg(r.runOpcodes.value(QStringLiteral("01")))
            .arg(r.setF.size());
    };
    table.row({QStringLiteral("Frequency sets (%1 asked)").arg(FrequencySets), setsOnLine(solvane), setsOnLine(rigctld),
               QString(), QStringLiteral("every set once")});
    table.row({QStringLiteral("Overlapping commands (whole run)"), QString::number(solvane.overlaps),
               QString::number(rigctld.overlaps), QString(), QStringLiteral("0")});
    table.row({QStringLiteral("Server CPU, %1 clients").arg(LoadClients),
               QStringLiteral("%1 % of a core").arg(solvane.cpuPercent, 0, 'f', 2),
               QStringLiteral("%1 % of a core").arg(rigctld.cpuPercent, 0, 'f', 2),
               Ratio(solvane.cpuPercent, rigctld.cpuPercent), QStringLiteral("Solvane < 1 %")});
    table.row({QStringLiteral("Server CPU, no client (its own poll)"),
               QStringLiteral("%1 % of a core").arg(solvane.idleCpuPercent, 0, 'f', 2),
               QStringLiteral("%1 % of a core").arg(rigctld.idleCpuPercent, 0, 'f', 2),
               Ratio(solvane.idleCpuPercent, rigctld.idleCpuPercent), QString()});
    table.row({QStringLiteral("f+m rounds in the %1-client window").arg(LoadClients),
               QStringLiteral("%1; %2 errors in all").arg(solvane.loadedAsked).arg(solvane.errors),
               QStringLiteral("%1; %2 errors in all").arg(rigctld.loadedAsked).arg(rigctld.errors), QString(),
               QStringLiteral("%1 asked at 10 Hz").arg(int(LoadClients * 10 * seconds))});
}
