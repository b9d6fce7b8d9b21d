// One press on Exit or the close box ends the program, whatever the line is
// doing: the window really closes and the event loop really ends.

#include "settings_dialog.h"
#include "window_rig.h"

#include <QTimer>

namespace {

// Runs the application's own event loop until it ends (the last window
// closed) or `limitMs` pass; true when it ended by itself.
bool eventLoopEnds(int limitMs = 8000)
{
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QApplication::exit(1);
    });
    watchdog.start(limitMs);
    const int code = QApplication::exec();
    return !timedOut && code == 0;
}

// Presses Exit once, from inside the running event loop.
void pressExitOnce(MainWindow& window)
{
    QTimer::singleShot(0, &window, [&window] { QTest::mouseClick(window.cmdExit, Qt::LeftButton); });
}

} // namespace

class TestWindowExit : public QObject {
    Q_OBJECT
private slots:
    void oneExitPressWithNoPortEndsTheProgram()
    {
        WindowRig rig;
        WriteStore({{QStringLiteral("Ports/COM2"), QStringLiteral("/nonexistent/solvane-tty")}});
        rig.load();
        QVERIFY(!rig.window->Link().PortOpen());
        pressExitOnce(*rig.window);
        QVERIFY(eventLoopEnds());
        QVERIFY(!rig.window->isVisible());
        QVERIFY(rig.window->Unloaded());
        QVERIFY(!ReadStoreFromDisk().contains(QStringLiteral("Settings/Commport"))); // no port: nothing stored
    }

    void oneCloseWithNoPortIsAccepted()
    {
        WindowRig rig;
        WriteStore({{QStringLiteral("Ports/COM2"), QStringLiteral("/nonexistent/solvane-tty")}});
        rig.load();
        QVERIFY(rig.window->close()); // accepted by the first close, not a nested one
        QVERIFY(!rig.window->isVisible());
        QVERIFY(rig.window->Unloaded());
    }

    void oneExitPressAfterTheAdapterWasUnplugged()
    {
        WindowRig rig;
        QVERIFY(rig.startLinked());
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.sim.unplug());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Link().PortOpen(), 3000);
        pressExitOnce(*rig.window);
        QVERIFY(eventLoopEnds());
        QVERIFY(!rig.window->isVisible());
    }

    void portFailingDuringTheReleaseStillEnds()
    {
        // Exit during a wait: the line settles before 0x80 may go out, and the
        // adapter goes in that moment. Dropping the queued release must not
        // leave a window that can never close.
        WindowRig rig;
        QVERIFY(rig.startLinked({QStringLiteral("--silent")}));
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        QTimer::singleShot(0, rig.window.get(), [&rig] {
            QTest::mouseClick(rig.window->cmdExit, Qt::LeftButton);
            rig.sim.unplug();
        });
        QVERIFY(eventLoopEnds());
        QVERIFY(!rig.window->isVisible());
        QVERIFY(rig.window->Unloaded());
    }

    void exitDuringAWaitSendsTheReleaseAndStores()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--baud"), QStringLiteral("4800")}));
        QVERIFY(rig.waitForReading());
        // Windows' session end waits for this before the process may go.
        int finished = 0;
        bool portClosedWhenFinished = false;
        QObject::connect(rig.window.get(), &MainWindow::unloadFinished, [&] {
            ++finished;
            portClosedWhenFinished = !rig.window->Link().PortOpen();
        });
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        pressExitOnce(*rig.window);
        QVERIFY(eventLoopEnds());
        QCOMPARE(finished, 1);
        QVERIFY(portClosedWhenFinished);
        QTRY_COMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
        QCOMPARE(rig.sim.loggedOverlaps(), 0);
        QCOMPARE(ReadStoreFromDisk().value(QStringLiteral("Settings/Commport")), QStringLiteral("2"));
    }

    void closeBoxWithTheDialogOpen()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        QVERIFY(waitForDialog(*rig.window, 3000));
        QTimer::singleShot(0, rig.window.get(), [&rig] { rig.window->close(); });
        QVERIFY(eventLoopEnds());
        QVERIFY(!rig.window->Form2());
        QTRY_COMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowExit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_exit.moc"
