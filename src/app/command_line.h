// Solvane's command line: --help, --version, --headless and the sharing
// server's --listen / --no-listen. Qt's own options (-style, -platform, ...)
// are let through for QApplication. Parsing is pure (no application object,
// no display), so it can run before any window exists.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the user asked for on the command line; unset fields leave the
// settings file in charge.
struct CommandLine {
    bool noListen = false;
    bool headless = false;                // the radio and the server, no window
    std::optional<QString> listenAddress; // an IP address, without brackets
    std::optional<quint16> listenPort;
    QStringList qtOptions;                // Qt's options, left for QApplication
};

// The result of parsing: run with `options`, or print `text` and exit.
struct CommandLineOutcome {
    enum class Action { Run, ShowHelp, ShowVersion, Fail };

    Action action = Action::Run;
    CommandLine options;
    QString text;     // help or version text for stdout, error message for stderr
    int exitCode = 0; // 0 for help and version, 2 for a usage error

    bool shouldExit() const { return action != Action::Run; }
};

// `arguments` includes the program name first, as argv does. `version` is
// the text printed after "solvane " by --version.
CommandLineOutcome ParseCommandLine(const QStringList& arguments, const QString& version);

// "ADDRESS:PORT", with an IPv6 address in brackets ("[::1]:4532").
// Returns false and sets `error` when the text is not one.
bool ParseListenEndpoint(const QString& text, QString* address, quint16* port, QString* error);
