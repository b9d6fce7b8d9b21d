#pragma once
// A program that keys the transmitter through the server and is then killed
// with SIGKILL, as a crashing or killed digital-mode program would be: this
// benchmark started again as `solvane-bench --key-child PORT`, so that the
// server sees a real process die and the kernel close its socket.

#include <QProcess>
#include <QString>

#include <chrono>

// The child's side: connects to 127.0.0.1:port, sends `T 1`, prints
// "keyed" once it is answered RPRT 0 (else "failed: <reply>" and exits 1),
// then waits for the end of its standard input: killed, or its parent gone.
int KeyChildMain(int port);

class KeyingChild {
public:
    using Clock = std::chrono::steady_clock;

    KeyingChild() = default;
    ~KeyingChild();
    KeyingChild(const KeyingChild&) = delete;
    KeyingChild& operator=(const KeyingChild&) = delete;

    // Starts `benchProgram --key-child port` and waits up to `boundMs` for it
    // to say it keyed. False with failure() otherwise.
    bool start(const QString& benchProgram, int port, int boundMs);
    // Sends SIGKILL and reaps the child; returns the time just before the signal.
    Clock::time_point kill();
    QString failure() const { return failure_; }

private:
    QProcess process_;
    QString failure_;
};
