#pragma once
// What one poll round costs the machine: system calls and voluntary context
// switches per round, and the CPU, with the radio steady at 4800 baud.
// The window in this process (on the platform it runs on), and the headless
// server, which polls while a client is connected.

#include <QString>

#include <functional>

using PollCostRow = std::function<void(const QString& what, const QString& measured, const QString& goal)>;

// The window's rows, its platform named `platform` ("Xvfb", "offscreen").
void WindowPollCostRows(const QString& platform, int seconds, const PollCostRow& row);
// `solvane --headless` with one client connected that asks nothing.
void HeadlessPollCostRows(const QString& solvaneProgram, int seconds, const PollCostRow& row);
