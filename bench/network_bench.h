#pragma once

#include <QString>

// Runs Solvane's sharing server (the program at `solvaneProgram`, as
// `--headless`; once more with its window for its CPU per request) and
// Debian's rigctld in turn, each against a simulator paced at 4800 baud both
// ways, and prints the side-by-side table. `seconds` is the length of the
// many-client window and of the flood.
void RunNetworkBench(const QString& solvaneProgram, int seconds);

// Solvane's headless server under the 20-client load with Qt's default
// (GLib) event dispatcher and with QT_NO_GLIB=1, both at once, `runs` times;
// prints the CPU per request of each and their ratio.
void RunDispatcherBench(const QString& solvaneProgram, int seconds, int runs);
