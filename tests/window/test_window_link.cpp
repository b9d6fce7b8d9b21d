// Start-up, shutdown and the failure paths of the radio link, through the
// real window and a real serial port to the simulator.

#include "window_rig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

class TestWindowLink : public QObject {
    Q_OBJECT
private slots:
    void startAndExitByButton()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--smeter"), QStringLiteral("10")}));
        QVERIFY(rig.sim.waitForLogLines(1, 3000));
        QCOMPARE(rig.sim.loggedCommands().first(), QStringLiteral("00 00 00 00 00"));
        QVERIFY(rig.waitForReading());
        QCOMPARE(rig.window->txtFreq->text(), QStringLiteral("14.200.00"));
        QCOMPARE(rig.window->txtMode->text(), QStringLiteral("USB"));
        QTRY_COMPARE(rig.window->pbarSmeter->value(), 10);
        QCOMPARE(QApplication::focusWidget(), rig.window->cmdExit);
        QCOMPARE(rig.messages.portMessages, 0);

        QTest::mouseClick(rig.window->cmdExit, Qt::LeftButton);
        QTRY_VERIFY(rig.window->Unloaded());
        QTRY_COMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
        QVERIFY(!rig.window->Link().PortOpen());
        const auto stored = ReadStoreFromDisk();
        QCOMPARE(stored.value(QStringLiteral("Settings/Commport")), QStringLiteral("2"));
        QCOMPARE(stored.value(QStringLiteral("Settings/CommSpeed")), QStringLiteral("57600,N,8,1"));
        // The user's port mapping survives the write.
        QCOMPARE(stored.value(QStringLiteral("Ports/COM2")), rig.sim.device());
    }

    void pollsReadFrequencyThenSMeter()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.sim.waitForLogLines(7, 3000));
        const QStringList log = rig.sim.loggedCommands();
        QCOMPARE(log[0], QStringLiteral("00 00 00 00 00"));
        // A radio left keyed before Solvane took it goes back to receive.
        QCOMPARE(log[1], QStringLiteral("00 00 00 00 88"));
        // Each round the frequency, then the transmitter's and the
        // receiver's status in turn, so a key at the radio is seen.
        for (int i = 2; i + 1 < log.size(); i += 2) {
            QCOMPARE(log[i], QStringLiteral("00 00 00 00 03"));
            QCOMPARE(log[i + 1], i % 4 == 2 ? QStringLiteral("00 00 00 00 F7") : QStringLiteral("00 00 00 00 E7"));
        }
        QVERIFY(rig.shutDown());
    }

    void closeBoxRunsTheSameShutdown()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.shutDown());
        QTRY_COMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
        QCOMPARE(ReadStoreFromDisk().value(QStringLiteral("Settings/Commport")), QStringLiteral("2"));
    }

    void resumeResendsTakeControl()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        rig.window->Timer1().stop();
        QTRY_VERIFY(!rig.window->Link().Busy());
        const int from = rig.sim.loggedCommands().size();
        QTest::mouseClick(rig.window->cmdTakeControl, Qt::LeftButton);
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.sim.waitForLogLines(from + 1, 2000));
        QCOMPARE(rig.commandsSince(from).first(), QStringLiteral("00 00 00 00 00"));
        QVERIFY(rig.shutDown());
    }

    void missingPortIsReportedAndNothingStored()
    {
        WindowRig rig;
        QVERIFY(rig.sim.start({}));
        WriteStore({{QStringLiteral("Ports/COM2"), QStringLiteral("/nonexistent/tty-solvane")},
                    {QStringLiteral("Settings/CommSpeed"), QStringLiteral("9600,N,8,1")}});
        rig.window = std::make_unique<MainWindow>(
            MainWindowParts{rig.port, rig.store, rig.messages, rig.player, QString()});
        rig.window->show();
        rig.window->Form_Load();
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(!rig.window->Link().PortOpen());
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.waitForTicks(3)); // a few ticks with the port closed do nothing
        QVERIFY(!rig.window->HaveFrequency());
        QVERIFY(rig.shutDown());
        QCOMPARE(rig.messages.portMessages, 1);
        // Nothing stored with no open port: the stored speed stays as it was.
        const auto stored = ReadStoreFromDisk();
        QVERIFY(!stored.contains(QStringLiteral("Settings/Commport")));
        QCOMPARE(stored.value(QStringLiteral("Settings/CommSpeed")), QStringLiteral("9600,N,8,1"));
    }

    void unusableLineSettingsAreReported()
    {
        WindowRig rig;
        QVERIFY(rig.sim.start({}));
        WriteStore({{QStringLiteral("Ports/COM2"), rig.sim.device()},
                    {QStringLiteral("Settings/CommSpeed"), QStringLiteral("57600,N,9,1")}});
        rig.window = std::make_unique<MainWindow>(
            MainWindowParts{rig.port, rig.store, rig.messages, rig.player, QString()});
        rig.window->Form_Load();
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(!rig.window->Link().PortOpen());
        QVERIFY(rig.shutDown());
    }

    void silentRadioKeepsTheWindowLive()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--silent")}));
        // Each read ends at the time limit (and a quiet spell after it), so
        // the poll goes on and the window keeps answering the user.
        QVERIFY(rig.waitForPolls(2));
        QVERIFY(!rig.window->HaveFrequency());
        QTest::mouseClick(rig.window->cmdDecimals, Qt::LeftButton);
        QVERIFY(!rig.window->ShowDecimals());
        rig.sim.send(QStringLiteral("silent off"));
        QVERIFY(rig.waitForReading(3000));
        QTRY_COMPARE(rig.window->txtFreq->text(), QStringLiteral("14.200"));
        QVERIFY(rig.shutDown());
    }

    // A radio that never answers: what to check, once, on the notice line;
    // the time the Settings dialog pauses the poll does not count.
    void silentRadioIsHintedAtOnce()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--silent")}));
        rig.window->Radio().SetSilenceHintAfterMs(1500); // three unanswered reads of 500 ms
        QSignalSpy hints(&rig.window->Radio(), &Transceiver::silenceHint);
        rig.window->Form_DblClick();
        QVERIFY(waitForDialog(*rig.window));
        QTest::qWait(2500); // paused: longer than the hint takes while reading
        QCOMPARE(hints.size(), 0);
        // The hint takes its reads after the pause too: the first one alone would not do.
        const int closed = int(rig.sim.loggedCommands().size());
        int readsWhenHinted = 0;
        connect(&rig.window->Radio(), &Transceiver::silenceHint, this,
                [&] { readsWhenHinted = int(rig.sim.loggedCommands().size()) - closed; });
        rig.window->Form2()->reject();
        QTRY_COMPARE_WITH_TIMEOUT(hints.size(), 1, 5000);
        QVERIFY2(readsWhenHinted >= 2, qPrintable(QString::number(readsWhenHinted)));
        QVERIFY(rig.window->NoticeText().contains(QStringLiteral("[Radio] Answers=false")));
        QVERIFY(rig.window->NoticeText().contains(rig.sim.device()));
        QVERIFY(rig.waitForPolls(3, 10000));
        QCOMPARE(hints.size(), 1);
        QVERIFY(rig.shutDown());
    }

    void shortReplyIsIgnored()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--short"), QStringLiteral("1")}));
        QVERIFY(rig.waitForPolls(3));
        QVERIFY(!rig.window->HaveFrequency());
        QVERIFY(rig.window->txtFreq->text().isEmpty());
        QCOMPARE(rig.window->pbarSmeter->value(), 0);
        QVERIFY(rig.shutDown());
    }

    void repliesWithStrayBytesAreNeverShown()
    {
        // Every reply carries a stray 0xFE: none is whole, so nothing shows
        // (an S-meter of 30 would be the stray byte read as the next reply),
        // and the poll drains the line and goes on.
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--extra"), QStringLiteral("1"), QStringLiteral("--baud"),
                           QStringLiteral("9600"), QStringLiteral("--smeter"), QStringLiteral("5")}));
        QVERIFY(rig.waitForPolls(5));
        QVERIFY(!rig.window->HaveFrequency());
        QVERIFY(rig.window->txtFreq->text().isEmpty());
        QCOMPARE(rig.window->pbarSmeter->value(), 0);
        QCOMPARE(rig.sim.loggedCommands().filter(QStringLiteral("OVERLAP")), QStringList());
        QVERIFY(rig.shutDown());
    }

    void vanishingDeviceIsReportedOnce()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        rig.sim.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Link().PortOpen(), 3000);
        QVERIFY(rig.waitForTicks(5));
        QCOMPARE(rig.messages.portMessages, 1);
        // The display keeps the last good reading; the poll idles.
        QCOMPARE(rig.window->txtFreq->text(), QStringLiteral("14.200.00"));
        QVERIFY(!rig.window->Link().Busy());
        QVERIFY(rig.shutDown());
        QCOMPARE(rig.messages.portMessages, 1);
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowLink test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_link.moc"
