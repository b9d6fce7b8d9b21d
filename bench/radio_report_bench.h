#pragma once
// The radio as it reports itself, each server beside the other while 20
// clients poll: how soon a key at the radio's microphone reads as `t` 1,
// whether the poll keeps its ten rounds a second with the transmitter watch,
// and how soon the FM settings (tone, shift, offset, tone mode) are answered
// and whether each reached the line.

#include <QString>

void RunRadioReportBench(const QString& solvaneProgram);
