#pragma once
// The phases of the sharing bench run against one server, with what the
// simulator's command log and the server's CPU time show for each.

#include "network_phases.h"
#include "syscall_count.h"

#include <QMap>
#include <QString>
#include <QStringList>

class BenchServer;
class SimProcess;

// Commands on the simulator's log by opcode ("03", "01", ... "OVERLAP").
QMap<QString, int> Opcodes(const QStringList& logLines);

// Commands with `opcode` on the log from command line `from`, once their
// count has stopped growing (at most 3 s).
int SettledCount(SimProcess& sim, int from, const QString& opcode);

// The 20 pollers for `seconds`, with the server's CPU time and the line's
// commands over that window.
struct LoadWindow {
    ClientStats pollers;
    double seconds = 0;
    double cpuSeconds = 0; // utime + stime
    double runSeconds = 0; // on a CPU, per schedstat
    QMap<QString, int> opcodes;
    int connectFailures = 0;
    double cpuPercent() const { return seconds > 0 ? 100.0 * cpuSeconds / seconds : 0; }
    // Server CPU per answered request (f and m each count), in µs.
    double cpuPerRequestUs() const { return perRequestUs(cpuSeconds); }
    double runPerRequestUs() const { return perRequestUs(runSeconds); }
    double perRequestUs(double s) const { return pollers.answered > 0 ? 1e6 * s / pollers.answered : 0; }
};
LoadWindow MeasureLoad(BenchServer& server, int seconds);

// The 20 pollers again, the server's system calls counted (strace slows
// each, so nothing else is measured meanwhile).
struct SyscallWindow {
    SyscallTotals calls;
    int answered = 0;
    QString failure;
};
SyscallWindow MeasureSyscalls(BenchServer& server, int seconds);

// One client floods `F` while the 20 pollers poll.
struct FloodWindow {
    static constexpr int kDepth = 200; // requests in flight
    QString failure;
    double seconds = 0;
    ClientStats pollers;
    int pollRounds = 0;  // 03 on the line in the window
    int setsInWindow = 0; // 01 on the line in the window
    long sent = 0, ok = 0, refused = 0, unanswered = 0;
    double drainSeconds = 0;
    bool closedByServer = false;
    int setsOnLine = 0; // 01 on the line from the flood's start until drained
};
FloodWindow MeasureFlood(BenchServer& server, int seconds);

struct ServerResults {
    QString failure;
    double idleCpuPercent = 0; // no client connected
    ClientStats one;            // one client, f at 20 Hz
    ClientStats paired;         // one client, "f\nm\n" in one write at 20 Hz
    ClientStats sets;           // F awaited to its RPRT while the 20 pollers poll
    ClientStats setsPollers;    // those pollers
    int setsOnLine = 0;         // 01 on the line in that phase
    LoadWindow load;
    SyscallWindow syscalls;
    FloodWindow flood;
    QMap<QString, int> runOpcodes; // the whole run
    int overlaps = 0;
    int errors() const;         // RPRT -n and time-outs, every phase but the flood's own
};

constexpr int kFrequencySets = 50;

// Every phase in turn: idle, one client, paired requests, sets under the 20
// pollers, the 20 pollers alone, the flood. `started` is whether the server came up.
ServerResults MeasureServer(BenchServer& server, bool started, int seconds);
