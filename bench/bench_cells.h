#pragma once
// How the sharing tables write a measurement in a cell.

#include "network_phases.h"

#include <QMap>
#include <QString>

#include <vector>

// "0.12 / 0.27 ms" (median / p99), or "no replies".
QString Latency(const std::vector<double>& ms);
// "x1.9 / x1116.5": rigctld's median and p99 over Solvane's.
QString LatencyRatio(const std::vector<double>& solvane, const std::vector<double>& rigctld);
// Per second over `seconds`, one decimal.
QString PerSecond(int count, double seconds);
// "03 10.0/s, E7 10.0/s"; with no seconds, "03 x12, E7 x12".
QString OpcodeList(const QMap<QString, int>& count, double seconds);
// Requests each awaited for at most `boundS`: the latency of those answered
// and how many were, or that none came back at all.
//   "761.93 / 790.12 ms; 40 of 40"
//   "301.02 / 302.11 ms; 37 of 40, 3 no reply in 5 s"
//   "no reply in 5 s (3 asked)"
QString AnsweredLatency(const ClientStats& s, int boundS);
