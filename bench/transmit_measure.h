#pragma once
// Keying through a sharing server while 20 clients poll: a client keys and
// unkeys in turn, and a separate program that keys is killed with SIGKILL.
// "On the line" is the moment the log watcher reads the command's line in
// the simulator's log (log_watcher.h).

#include "network_phases.h"

#include <QString>

#include <vector>

class BenchServer;

struct TransmitResults {
    static constexpr int kReplyBoundMs = 5000; // each T awaited at most
    static constexpr int kLineBoundMs = 3000;  // T 0 to its 88 on the line, at most
    static constexpr int kKills = 10;
    static constexpr int kKillBoundS = 5;      // SIGKILL to 88, at most

    QString failure;
    double seconds = 0;          // of key and unkey cycles
    int cycles = 0;
    std::vector<double> keyMs;   // T 1 sent to RPRT 0
    std::vector<double> unkeyMs; // T 0 sent to RPRT 0
    std::vector<double> unkeyLineMs; // T 0 sent to 88 on the line
    int refused = 0;             // T 1 or T 0 answered RPRT -n
    int timeouts = 0;            // no reply within kReplyBoundMs
    int unkeysNotSeen = 0;       // T 0 answered, no 88 within kLineBoundMs
    int keysOnLine = 0, unkeysOnLine = 0; // 08 and 88 in the cycles' window
    ClientStats pollers;         // over the cycles and the kills
    std::vector<double> watcherMs; // the log watcher's own delay beside the cycles

    std::vector<double> killMs;  // SIGKILL to 88 on the line
    int killsTried = 0;
    int killsNever = 0;          // no 88 within kKillBoundS (then stops trying)
    QString killFailure;
};

// `benchProgram` is this benchmark, started again as the keying child.
TransmitResults MeasureTransmit(BenchServer& server, bool started, const QString& benchProgram, int seconds);
