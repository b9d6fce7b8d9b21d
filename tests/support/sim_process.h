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
    bool isRunning() const;
    // The pty slave path, e.g. /dev/pts/7.
    QString device() const { return device_; }
    QString logPath() const { return logPath_; }

    // Every line of the command log so far ("01 42 00 00 01",
    // "OVERLAP ...", "PARTIAL ...").
    QStringList loggedCommands() const;
    // Runs the event loop until the log holds at least `n` lines.
    bool waitForLogLines(int n, int timeoutMs);

    // Sends one control line ("freq 7000000", "silent on", ...) and waits
    // until the simulator has applied it. False if it refused or did not answer.
    bool send(const QString& line);

    // SIGTERM, then waits for the exit; kills it if it hangs.
    void stop();

private:
    bool readLine(QByteArray& line, int timeoutMs);

    std::unique_ptr<QProcess> process_;
    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray pending_;
    QString device_;
    QString logPath_;
};
