#pragma once

#include <QString>

// Keying and unkeying through Solvane's headless server and rigctld in turn,
// 20 clients polling, and a keying program killed; prints the table.
// `benchProgram` is this benchmark, which the keying child runs as.
void RunTransmitBench(const QString& solvaneProgram, const QString& benchProgram, int seconds);
