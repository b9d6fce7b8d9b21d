#pragma once

#include <QString>

// Runs Solvane's sharing server (the program at `solvaneProgram`) and Debian's
// rigctld in turn, each against a simulator paced at 4800 baud, and prints
// the side-by-side table. `seconds` is the length of the many-client window.
void RunNetworkBench(const QString& solvaneProgram, int seconds);
