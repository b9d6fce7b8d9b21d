#pragma once
// Runs the project's FT-847 simulator (ft847-sim) for a test: starts it on a
// fresh pty with its command log in a temporary directory, and drives it
// through its stdin control lines.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The simulator binary: $SOLVANE_SIM_PATH if set, else the built one.
    static QString program();

    // Starts the simulator with `args` (plus its own --log) and waits up to
    // 5 s for its device line. A running simulator is stopped first.
    bool start(const QStringList& args = {});
    // As start(), with a stable --link path in the temporary directory
    // (linkPath()) that, like a /dev/serial/by-id path, survives a replug.
    bool startWithLink(const QStringList& args = {});
    bool isRunning() const;
    // The pty slave path, e.g. /dev/pts/7; empty while unplugged.
    QString device() const { return device_; }
    // The --link path, from startWithLink() or from `args`; empty without one.
    QString linkPath() const { return linkPath_; }
    QString logPath() const { return logPath_; }

    // The adapter goes: the client's port hangs up, the link path vanishes
    // and commands go unanswered. False if it was already unplugged.
    bool unplug();
    // The adapter comes back on a new pty with the link path pointing to it
    // again; device() follows. Radio state and log carry on.
    bool replug();

    // Every whole line of the log so far, in order: commands and the state
    // lines after them.
    QStringList logLines() const;
    // The command lines of the log ("01 42 00 00 01", "OVERLAP ...",
    // "PARTIAL ..."), without the state lines.
    QStringList loggedCommands() const;
    // The changes of transmit and satellite state, without their "STATE "
    // prefix: "transmit on", "satellite off (front panel)", ...
    QStringList loggedStates() const;
    // Log lines of commands that began while a reply was going out, and of
    // partial frames the simulator dropped.
    int loggedOverlaps() const;
    int loggedPartials() const;
    // Runs the event loop until the log holds at least `n` command lines.
    bool waitForLogLines(int n, int timeoutMs);

    // Sends one control line ("freq 7000000", "silent on", ...) and waits
    // until the simulator has applied it. False if it refused or did not answer.
    // A DEVICE line before the answer (after "replug") updates device().
    bool send(const QString& line);

    // SIGTERM, then waits for the exit; kills it if it hangs.
    void stop();

private:
    bool readLine(QByteArray& line, int timeoutMs);
    int countLogLines(QLatin1String prefix) const;

    std::unique_ptr<QProcess> process_;
    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray pending_;
    QString device_;
    QString linkPath_;
    QString logPath_;
};
