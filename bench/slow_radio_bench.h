#pragma once

#include <QString>

// One client sets frequencies, each awaited to its RPRT, through Solvane's
// headless server and through rigctld, each against a simulator that never
// answers and one that answers 60 ms late; prints the table.
void RunSlowRadioBench(const QString& solvaneProgram);
