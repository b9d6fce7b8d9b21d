#pragma once
// The exit race: a keying program closes its connection and SIGTERM reaches
// Solvane 0 to 4 ms later, as a logout or a shutdown ends both at once. Each
// run starts the headless server against a fresh simulator; the table
// counts the runs that left the radio transmitting.

#include <QString>

void RunExitRaceBench(const QString& solvaneProgram, int runs);
