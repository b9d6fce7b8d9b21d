#pragma once
// The benchmark's command line: which tables to print. With no option it
// prints them all; each --X-only option adds its table to those printed, so
// `--slow-only --transmit-only` prints those two.
//
//   --window-only      the window's table
//   --network-only     the sharing table beside rigctld
//   --slow-only        a slow and a silent radio behind each server
//   --transmit-only    keying, unkeying and a keying program killed
//   --satellite-only   gpredict's Doppler cycle
//   --report-only      the radio's own transmitter and the FM settings
//   --exit-race-only   a keying program leaving just before SIGTERM,
//                      BENCH_RUNS runs each way (default 100)
//   --xcb-cpu-only     the CPU polling rows alone, on the platform
//                      QT_QPA_PLATFORM names (run under xvfb-run)
//   --dispatcher-only  the headless server with each of Qt's event dispatchers
//   --quit-only        quitting after Speak, returning from main and through
//                      LeaveProcess, BENCH_RUNS child processes each (default
//                      100); run it under scripts/with-pulseaudio.sh
//   --key-child PORT   not a table: the keying program the transmit table kills

#include <QString>
#include <QStringList>

struct BenchOptions {
    bool window = true;
    bool network = true;
    bool slow = true;
    bool transmit = true;
    bool satellite = true;
    bool radioReport = true;
    bool exitRace = true;
    bool xcbCpu = false;
    bool dispatcher = false;
    bool quit = false;
    int keyChildPort = 0; // non-zero: run as the keying child
    QString error;        // an option it does not know, or a bad port

    bool operator==(const BenchOptions&) const = default;
};

// `args` without the program name. Arguments that do not start with "--"
// are left to Qt.
BenchOptions ParseBenchOptions(const QStringList& args);
