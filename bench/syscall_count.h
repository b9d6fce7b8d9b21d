#pragma once
// A process's system calls over a window, counted by `strace -c -f -p`: all
// its threads, by name. The process only notices that each call is slower,
// so CPU and latency are measured in windows of their own.

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

struct SyscallTotals {
    qint64 calls = -1; // -1: not counted
    QMap<QString, qint64> byName;
};

// The totals in a summary `strace -c` wrote; calls stays -1 without its
// "total" line. Pure.
SyscallTotals ParseStraceSummary(const QString& text);

// "7.6 a round (poll 3.3, read 2.2, write 2.1)": calls per `unit`, and the
// three most frequent, over `count` units.
QString PerUnit(const SyscallTotals& totals, double count, const QString& unit);

class SyscallCount {
public:
    ~SyscallCount();
    // Starts counting; false (failure() says why) when strace is missing or
    // could not attach. `pid` may be this process's own.
    bool start(qint64 pid);
    // Stops, and returns what was counted.
    SyscallTotals stop();
    QString failure() const { return failure_; }

private:
    QTemporaryDir dir_;
    QProcess strace_;
    QString failure_;
};
