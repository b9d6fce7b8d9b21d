#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in a terminal) close the
// window like its close box, so the radio is handed back and the settings
// are stored, instead of the process dying where it stands.

#include <functional>

class QObject;

// Calls `close` from the event loop when one of the signals arrives. Unix
// only; elsewhere it does nothing.
void CloseOnTerminationSignals(QObject* owner, std::function<void()> close);
