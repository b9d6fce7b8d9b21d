#pragma once
// One sharing server under test for the benchmark: a simulator paced at the
// bench's baud rate, and Solvane or Debian's rigctld on a loopback port
// serving it.

#include "sim_process.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The line rate of every simulator in the sharing bench, paced both ways.
constexpr int kBenchBaud = 4800;

struct SolvaneLaunch {
    // Which event dispatcher: the one Solvane picks (Qt's own for --headless,
    // GLib's for the window), or one forced through QT_NO_GLIB.
    enum class Dispatcher { AsShipped, GLib, Qt };
    bool headless = true; // --headless: the radio and server, no window
    Dispatcher dispatcher = Dispatcher::AsShipped;
};

// The simulated radio behind a server: extra simulator options, and whether
// it answers at all. A silent radio gives no reading, so the server is
// probed with `\chk_vfo`, which it answers itself, instead of `f`.
struct BenchRadio {
    QStringList simArgs;
    bool answers = true;
};

class BenchServer {
public:
    BenchServer() = default;
    ~BenchServer() { stop(); }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // Each starts a simulator and the server, and returns once the server
    // has answered `f` (bounded), else false with failure().
    bool startSolvane(const QString& program, const SolvaneLaunch& launch = {}, const BenchRadio& radio = {});
    bool startRigctld(const BenchRadio& radio = {});

    SimProcess& sim() { return sim_; }
    int port() const { return port_; }
    qint64 pid() const { return process_.processId(); }
    QString failure() const { return failure_; }

    // CPU seconds the server has used, from /proc/<pid>/stat (utime + stime):
    // the kernel's tick sampling, in 10 ms steps.
    double cpuSeconds() const;
    // Its threads' time on a CPU to the nanosecond, from
    // /proc/<pid>/task/*/schedstat; threads that have ended drop out.
    double runSeconds() const;
    // Its threads' voluntary context switches, from /proc/<pid>/task/*/status.
    long voluntarySwitches() const;

    void stop();
    // Waits for the server to end (it was signalled), killing it past 10 s;
    // the simulator and its log stay.
    void stopServer();

private:
    bool fail(const QString& why);
    bool startSim(const BenchRadio& radio);
    bool launch(const QString& program, const QStringList& args, const BenchRadio& radio);

    SimProcess sim_;
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString failure_;
};
