#pragma once
// The system's requests to end Solvane start the same shutdown as the
// window's close box, so the radio is handed back and the settings are
// stored, instead of the process dying where it stands:
// - Unix: SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in a terminal, a
//   closed terminal); termination_signals.cpp.
// - Windows: Ctrl+C, Ctrl+Break and closing the console the program is
//   attached to (see windows_console.h), and for the window the end of the
//   session (logoff, shutdown); termination_signals_win.cpp. Windows ends
//   the process as soon as its handler returns, so the handler waits for
//   the shutdown to finish, within a bound under Windows' own.

#include <functional>

class QObject;

// Starts the shutdown, on the event loop's thread, and calls `finished` once
// it has run to its end (release sent, port closed, settings stored).
using StartShutdown = std::function<void(std::function<void()> finished)>;

// Calls `shutdown` from the event loop when one of the requests arrives,
// for as long as `owner` lives.
void CloseOnTerminationSignals(QObject* owner, StartShutdown shutdown);
