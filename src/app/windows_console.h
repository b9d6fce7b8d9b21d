#pragma once
// Solvane is one program. On Windows it is built for the GUI subsystem
// (WIN32_EXECUTABLE): started from Explorer, a shortcut or the Start menu it
// opens its window and no console, and the window ends it (its close box,
// Exit, or the session's end; see termination_signals.h). Text meant for a
// terminal needs a console, so there this:
// - attaches the console of the program that started it (cmd, PowerShell,
//   AttachConsole(ATTACH_PARENT_PROCESS)), if there is one;
// - with `openOwnIfNone` (for --headless), opens a console of its own when
//   there is none, so the server always has one: its messages go there,
//   and Ctrl+C, Ctrl+Break or closing that console ends it, the radio
//   handed back first;
// - points standard output and error at the console, unless they were
//   redirected to a file or a pipe.
// Elsewhere it does nothing: the terminal is already there.
void ConnectConsole(bool openOwnIfNone);
