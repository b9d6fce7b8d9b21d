// LeaveProcess, as the window program ends: what was written to stdout and
// stderr arrives even through a pipe, the status is the one given, and no
// exit handler runs (Qt's audio engine is torn down by one).

#include "leave_process.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

// Child mode: writes through every stdio path, then leaves with `status`.
[[noreturn]] void LeaveAfterWriting(int status)
{
    std::atexit([] { std::fputs("exit handler ran\n", stderr); });
    std::printf("printf line\n");
    std::cout << "cout line\n";
    std::fputs("stderr line\n", stderr);
    LeaveProcess(status);
}

} // namespace

class TestLeaveProcess : public QObject {
    Q_OBJECT
private slots:
    // A status of its own, so a plain exit or a crash cannot pass for it.
    void flushesAndSkipsExitHandlers()
    {
        const int status = 3;
        QProcess child; // stdout a pipe: fully buffered, so unflushed text is lost
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--leave"), QString::number(status)});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), status);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("printf line\ncout line\n"));
        QCOMPARE(child.readAllStandardError(), QByteArray("stderr line\n"));
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--leave") == 0)
        LeaveAfterWriting(std::atoi(argv[2]));
    QCoreApplication app(argc, argv);
    TestLeaveProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_leave_process.moc"
