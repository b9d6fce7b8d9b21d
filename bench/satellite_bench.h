#pragma once

#include <QString>

// gpredict's duplex Doppler cycle every 100 ms through Solvane's headless
// server and rigctld in turn, 20 clients polling; prints the table.
void RunSatelliteBench(const QString& solvaneProgram, int seconds);
