// Faults a serial line and a user can produce, against the simulator over a
// pty: each case names what Solvane must do.

#include "band_table.h"
#include "frequency_display.h"
#include "settings_dialog.h"
#include "window_rig.h"

#include <QSet>

namespace {

// Samples the display while the simulator answers `polls` more frequency
// reads; collects every distinct thing shown.
struct Watch {
    QSet<QString> frequencies, modes;
    QSet<int> meters;
    void sample(WindowRig& rig, int polls)
    {
        const QString read = QStringLiteral("00 00 00 00 03");
        const qsizetype target = rig.sim.loggedCommands().count(read) + polls;
        QTest::qWaitFor([&] {
            frequencies.insert(rig.window->txtFreq->text());
            modes.insert(rig.window->txtMode->text());
            meters.insert(rig.window->pbarSmeter->value());
            return rig.sim.loggedCommands().count(read) >= target;
        }, 20000);
    }
};

} // namespace

class TestWindowFaults : public QObject {
    Q_OBJECT
private slots:
    void answerInsideTheLimitIsShown()
    {
        WindowRig rig;
        QVERIFY(rig.start({"--delay-ms", "400", "--smeter", "12"}));
        QVERIFY(rig.waitForReading(4000));
        QCOMPARE(rig.window->txtFreq->text(), QStringLiteral("14.200.00"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.window->pbarSmeter->value(), 12, 4000);
        QVERIFY(rig.shutDown());
    }

    void answerOutsideTheLimitIsNeverMisread()
    {
        // Each answer comes 200 ms after the wait gave up. It must not be
        // taken as the reply to the next command.
        WindowRig rig;
        QVERIFY(rig.start({"--delay-ms", "700", "--smeter", "12"}));
        Watch watch;
        watch.sample(rig, 5);
        QVERIFY(!rig.window->HaveFrequency());
        QCOMPARE(watch.meters, QSet<int>{0});
        QVERIFY(rig.shutDown());
    }

    void shortRepliesOfEveryLengthAreIgnored_data()
    {
        QTest::addColumn<int>("missing");
        for (int n = 1; n <= 4; ++n)
            QTest::addRow("%d short", n) << n;
    }
    void shortRepliesOfEveryLengthAreIgnored()
    {
        QFETCH(int, missing);
        WindowRig rig;
        QVERIFY(rig.start({"--short", QString::number(missing), "--smeter", "12"}));
        Watch watch;
        watch.sample(rig, 3);
        QCOMPARE(watch.frequencies, QSet<QString>{QString()});
        QVERIFY(rig.shutDown());
    }

    void faultsShowOnlyWhatTheRadioSent_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("readingsGetThrough");
        const QList<std::pair<const char*, QStringList>> paces{{"unpaced", {}}, {"9600 baud", {"--baud", "9600"}}};
        for (const auto& [pace, paceArgs] : paces) {
            // A reply followed by garbage is discarded whole: every third one
            // here, so both kinds of reply still get through now and then.
            QTest::addRow("%s, garbage between replies", pace) << (paceArgs + QStringList{"--garbage-every", "3"}) << true;
            QTest::addRow("%s, random faults", pace)
                << (paceArgs + QStringList{"--fault-rate", "0.3", "--seed", "7"}) << true;
            QTest::addRow("%s, a byte lost inside every reply", pace) << (paceArgs + QStringList{"--lose-inside"}) << false;
            QTest::addRow("%s, a byte doubled inside every reply", pace) << (paceArgs + QStringList{"--dup-inside"}) << false;
        }
    }
    void faultsShowOnlyWhatTheRadioSent()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, readingsGetThrough);
        WindowRig rig;
        QVERIFY(rig.start(args + QStringList{"--smeter", "12"}));
        // The user tunes meanwhile: every band the radio is sent to is a
        // frequency it may report; nothing else may ever show.
        QSet<QString> sent{QStringLiteral("14.200.00")};
        QSet<QString> modesSent{QStringLiteral("USB")};
        // A radio that garbles every reply times out on each: fewer rounds.
        const int polls = readingsGetThrough ? 4 : 1;
        Watch watch;
        for (int band : {2, 4, 6, 0}) {
            watch.sample(rig, polls);
            QTest::mouseClick(rig.window->Command1[band], Qt::LeftButton);
            const auto& spot = kBandButtons[band];
            sent.insert(FormatFrequencyText(QStringLiteral("%1").arg(spot.kilohertz * 100, 8, 10, QLatin1Char('0')), true)
                            .trimmed());
            modesSent.insert(cat::ModeText(spot.modeCode));
        }
        watch.sample(rig, polls);
        watch.frequencies.remove(QString());
        watch.modes.remove(QString());
        watch.meters.remove(0);
        QVERIFY2(sent.contains(watch.frequencies), qPrintable(QStringList(watch.frequencies.values()).join(' ')));
        QVERIFY2(modesSent.contains(watch.modes), qPrintable(QStringList(watch.modes.values()).join(' ')));
        QVERIFY(QSet<int>{12}.contains(watch.meters));
        QCOMPARE(rig.window->HaveFrequency(), readingsGetThrough);
        if (readingsGetThrough) {
            QVERIFY(watch.frequencies.size() >= 2); // the display followed the radio
            QCOMPARE(watch.meters, QSet<int>{12});
        }
        // The line never carried two conversations at once.
        QCOMPARE(rig.sim.loggedOverlaps(), 0);
        QCOMPARE(rig.sim.loggedPartials(), 0);
        QVERIFY(rig.shutDown());
    }

    void vanishedDeviceIsChosenAgainAtANewPath()
    {
        WindowRig rig;
        QVERIFY(rig.start({"--baud", "4800"}));
        QVERIFY(rig.waitForReading());
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        rig.sim.stop(); // in the middle of an exchange
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Link().PortOpen(), 3000);
        QCOMPARE(rig.messages.portMessages, 1);

        SimProcess back;
        QVERIFY(back.start({"--freq", "4334250", "--mode", "08"}));
        WriteStore({{QStringLiteral("Ports/COM2"), QStringLiteral("/nonexistent/gone")},
                    {QStringLiteral("Ports/COM4"), back.device()}});
        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        SettingsDialog* dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        dialog->cboCommPort->setEditText(QStringLiteral("4"));
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!rig.window->Form2());
        QTRY_COMPARE_WITH_TIMEOUT(rig.window->txtFreq->text(), QStringLiteral("43.342.50"), 3000);
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(rig.shutDown());
        QTRY_COMPARE(back.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
    }

    void exitDuringAWaitReleases()
    {
        WindowRig rig;
        QVERIFY(rig.start({"--silent"}));
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        QTest::mouseClick(rig.window->cmdExit, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Unloaded() && !rig.window->isVisible(), 5000);
        QTRY_COMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
    }

    void settingsDuringTheQuietSpellOpens()
    {
        WindowRig rig;
        QVERIFY(rig.start({"--silent"}));
        // Wait out one reply time-out: the link is now letting the line settle.
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Link().AwaitingReply(), 2000);
        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        QVERIFY(waitForDialog(*rig.window, 3000));
        rig.window->Form2()->reject();
        QVERIFY(rig.shutDown());
    }

    void settingsWhileTheLineIsIdleSendsNoReads()
    {
        // Pressed between rounds, the request used to make the next tick
        // send 0x03 and 0xE7 with both waits broken at once, so 0xE7 went
        // out on top of the 0x03 reply.
        WindowRig rig;
        QVERIFY(rig.start({"--baud", "4800"}));
        QVERIFY(rig.waitForReading());
        QTRY_VERIFY(!rig.window->Link().Busy());
        const int from = rig.sim.loggedCommands().size();
        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        SettingsDialog* dialog = waitForDialog(*rig.window, 3000);
        QVERIFY(dialog);
        QCOMPARE(rig.commandsSince(from), QStringList());
        dialog->reject();
        QVERIFY(rig.waitForPolls(3));
        QCOMPARE(rig.sim.loggedCommands().filter(QStringLiteral("OVERLAP")), QStringList());
        QVERIFY(rig.shutDown());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_faults.moc"
