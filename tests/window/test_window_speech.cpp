// Speaking the displayed frequency from the real window: the order of the
// sounds, the poll stopped meanwhile, and the user held off until the end.

#include "loopback_client.h"
#include "window_rig.h"

#include <QAccessible>

#include <QFileInfo>

class TestWindowSpeech : public QObject {
    Q_OBJECT

    static QStringList names(const QStringList& paths)
    {
        QStringList out;
        for (const QString& p : paths)
            out << QFileInfo(p).fileName();
        return out;
    }

private slots:
    void speaksTheDisplayInOrderWithThePollStopped()
    {
        WindowRig rig;
        rig.player.holdMs = 40;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QCOMPARE(rig.window->txtFreq->text(), QStringLiteral("14.200.00"));
        QTRY_VERIFY(!rig.window->Link().Busy());
        QTest::mouseClick(rig.window->cmdSpeak, Qt::LeftButton);
        QVERIFY(rig.window->Speaking());
        QVERIFY(!rig.window->Timer1().isActive());
        const int from = rig.sim.loggedCommands().size();

        // Input is held off while speaking: this press does nothing.
        QTest::mouseClick(rig.window->Command1[0], Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Speaking(), 5000);
        QCOMPARE(rig.commandsSince(from), QStringList{}); // no poll, no band command
        QCOMPARE(names(rig.player.opened),
                 (QStringList{"1.wav", "4.wav", "Point.wav", "2.wav", "0.wav", "0.wav", "Point.wav", "0.wav", "0.wav"}));
        QVERIFY(!rig.player.isOpen());
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.sim.waitForLogLines(from + 2, 2000)); // the poll is back
        QVERIFY(rig.shutDown());
    }

    void emptyBoxSpeaksNothingAndResumes()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--silent")}));
        QVERIFY(rig.window->txtFreq->text().isEmpty());
        const int closesBefore = rig.player.closes;
        rig.window->cmdSpeak_Click();
        QTRY_VERIFY(!rig.window->Speaking());
        QVERIFY(rig.player.opened.isEmpty());
        QVERIFY(rig.player.closes > closesBefore);
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.shutDown());
    }

    void escapeStopsSpeakingAndTheWindowIsBusyMeanwhile()
    {
        WindowRig rig;
        rig.player.holdMs = 60000; // a readout far longer than the test
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(rig.window.get());
        QVERIFY(frame);
        QVERIFY(!frame->state().busy);
        QTest::mouseClick(rig.window->cmdSpeak, Qt::LeftButton);
        QVERIFY(rig.window->Speaking());
        QVERIFY(!rig.window->Timer1().isActive());
        QVERIFY(frame->state().busy);
        // Other keys are still held; Escape ends the readout at once.
        QTest::keyClick(rig.window.get(), Qt::Key_Space);
        QVERIFY(rig.window->Speaking());
        QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        QVERIFY(!rig.window->Speaking());
        QVERIFY(!frame->state().busy);
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.waitForPolls(2));
        QVERIFY(rig.shutDown());
    }

    void closingWhileSpeakingWaitsForTheEnd()
    {
        WindowRig rig;
        rig.player.holdMs = 60;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        rig.window->cmdSpeak_Click();
        rig.window->close();
        QVERIFY(!rig.window->Unloaded());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Unloaded(), 5000);
        QCOMPARE(rig.player.opened.size(), 9);
        QTRY_COMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
    }

    // The dialog and speaking each pause the poll; the end of one does not
    // end the other's: the Settings request opened the dialog meanwhile.
    void speechEndingLeavesTheDialogsPause()
    {
        WindowRig rig;
        rig.player.holdMs = 40;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QTest::mouseClick(rig.window->cmdSpeak, Qt::LeftButton);
        QVERIFY(rig.window->Speaking());
        rig.window->Form_DblClick(); // the tick's end opens the dialog
        QVERIFY(waitForDialog(*rig.window));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Speaking(), 5000);
        QVERIFY(!rig.window->Timer1().isActive());
        QTest::mouseClick(rig.window->Form2()->cmdCancel, Qt::LeftButton);
        QTRY_VERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.shutDown());
    }

    // Closing while speaking waits for the last sound, but a transmitter
    // keyed meanwhile is unkeyed at once.
    void closingWhileSpeakingUnkeysAtOnce()
    {
        WindowRig rig;
        rig.player.holdMs = 300;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        const auto sharing = ShareOnLoopback(*rig.window);
        QVERIFY(sharing);
        LineClient program(sharing->Server().serverPort());
        QCOMPARE(program.ask("T 1\n"), QStringLiteral("RPRT 0"));
        QTRY_VERIFY(rig.sim.loggedCommands().contains(QStringLiteral("00 00 00 00 08")));
        QTest::mouseClick(rig.window->cmdSpeak, Qt::LeftButton);
        QVERIFY(rig.window->Speaking());
        rig.window->close();
        QTRY_VERIFY(rig.sim.loggedStates().contains(QStringLiteral("transmit off")));
        QVERIFY(rig.window->Speaking());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Unloaded(), 10000);
        QCOMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowSpeech test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_speech.moc"
