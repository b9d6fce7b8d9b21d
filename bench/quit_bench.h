#pragma once
// Quitting after Speak, counted over many processes: each child builds the
// window's real pieces (QtSoundPlayer on PulseAudio, the serial port on the
// simulator, the settings store), waits for the first frequency, presses
// Speak, lets it play to its end, closes the window, and then either
// returns from main (the exit handlers run) or leaves through LeaveProcess
// as the program does. The parent counts how the children ended.

#include <QString>

// The table, `runs` children each way, taking turns. Needs a PulseAudio
// server (scripts/with-pulseaudio.sh); says so and measures nothing without.
void RunQuitBench(const QString& benchProgram, int runs);

// The child's option: --quit-child=leave or --quit-child=return.
inline constexpr char kQuitChildOption[] = "--quit-child=";

// The child's work, from main before anything else. Returns main's status
// for the "return" way; the "leave" way does not return.
int RunQuitChild(int argc, char** argv, const QString& way);
