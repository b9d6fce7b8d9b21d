// The transmitter and satellite mode from the real window, one rig for all
// cases: a program keys the radio through the sharing server; the window
// shows TX and power out, Escape and Stop TX unkey it and keying waits for
// Allow, presses a keyed transmitter holds back send nothing and say why;
// in satellite mode both frequencies show, Speak reads the downlink, and
// bands and memories leave the mode first.

#include "loopback_client.h"
#include "window_rig.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>

namespace {

const QString kKey = QStringLiteral("00 00 00 00 08");
const QString kUnkey = QStringLiteral("00 00 00 00 88");
const QString kSatelliteOn = QStringLiteral("00 00 00 00 4E");
const QString kSatelliteOff = QStringLiteral("00 00 00 00 8E");

// The colour most pixels of `widget` show.
QColor shownColour(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    std::map<QRgb, int> histogram;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++histogram[image.pixel(x, y)];
    const auto most = std::ranges::max_element(histogram, {}, [](const auto& bin) { return bin.second; });
    return QColor::fromRgb(most->first);
}

} // namespace

class TestWindowTransmit : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    WindowRig rig;
    std::unique_ptr<RigSharing> sharing;
    std::unique_ptr<Client> program;

    MainWindow& window() { return *rig.window; }
    Transceiver& radio() { return rig.window->Radio(); }
    QString notice() const { return rig.window->NoticeText(); }
    int logSize() const { return int(rig.sim.loggedCommands().size()); }
    // What the person's presses put on the line: the log without the poll's reads.
    QStringList pressedSince(int from) const
    {
        static const QRegularExpression pollRead(QStringLiteral(" (03|13|23|E7|F7)$"));
        QStringList sent = rig.commandsSince(from);
        sent.removeIf([](const QString& line) { return pollRead.match(line).hasMatch(); });
        return sent;
    }
    // Waits for `rounds` more poll rounds in either mode (each reads a
    // meter), so that whatever a press queued has had its turn.
    bool waitForRounds(int rounds)
    {
        static const QRegularExpression meterRead(QStringLiteral("^00 00 00 00 (E7|F7)$"));
        const auto meters = [this] { return rig.sim.loggedCommands().filter(meterRead).size(); };
        const qsizetype target = meters() + rounds;
        return QTest::qWaitFor([&] { return meters() >= target; }, 5000);
    }
    bool keyByProgram()
    {
        const int from = logSize();
        return program->ask("T 1\n") == QLatin1String("RPRT 0")
            && QTest::qWaitFor([&] { return rig.commandsSince(from).contains(kKey); }, 2000);
    }
    bool satelliteOn()
    {
        QTest::mouseClick(window().cmdSatellite, Qt::LeftButton);
        return QTest::qWaitFor([&] { return !window().txtUplink->text().isEmpty() && !radio().Busy(); }, 3000);
    }

private slots:
    void initTestCase()
    {
        QFile memories(dir.filePath(QStringLiteral("Memories.txt")));
        QVERIFY(memories.open(QIODevice::WriteOnly));
        memories.write("20m net,14200,USB\r\n");
        memories.close();
        // Satellite mode's downlink is 435.900.00 USB, its uplink 145.900.00 LSB.
        QVERIFY(rig.start({"--smeter", "9", "--power", "20"}, memories.fileName()));
        QVERIFY(rig.waitForReading());
        sharing = ShareOnLoopback(window());
        QVERIFY(sharing);
        program = std::make_unique<Client>(sharing->Server().serverPort());
        QTRY_COMPARE(radio().ClientCount(), 1);
    }

    // Each case starts receiving, keying allowed, out of satellite mode.
    void init()
    {
        rig.player.holdMs = 0;
        radio().AllowKeying();
        if (radio().Transmitting())
            QCOMPARE(program->ask("T 0\n"), QStringLiteral("RPRT 0"));
        radio().SetSatellite(false);
        QTRY_VERIFY(!radio().Satellite() && !radio().Busy());
    }

    void cleanupTestCase()
    {
        program.reset();
        QVERIFY(rig.shutDown());
    }

    void keyedShowsTxAndPowerOutUntilUnkeyed()
    {
        QTRY_COMPARE(window().pbarSmeter->value(), 9);
        const QString scale = window().Label1->text();
        QVERIFY(!window().lblTransmit->isVisible());
        QTest::keyClick(&window(), Qt::Key_Escape); // while receiving it stops nothing
        QVERIFY(!radio().KeyingStopped());

        QVERIFY(keyByProgram());
        QVERIFY(window().lblTransmit->isVisible());
        QCOMPARE(window().lblTransmit->text(), QStringLiteral("TX"));
        QCOMPARE(shownColour(window().lblTransmit), QColor(224, 0, 0));
        QTRY_COMPARE(window().pbarSmeter->value(), 20); // the power-out meter, read with F7
        QCOMPARE(window().Label1->text(), QStringLiteral(" Power out"));
        QCOMPARE(window().pbarSmeter->accessibleName(), QStringLiteral("Power out"));
        QCOMPARE(window().pbarSmeter->accessibleDescription(), QStringLiteral("65 %"));
        QVERIFY2(notice().startsWith(QStringLiteral("Transmitting, keyed by 127.0.0.1:")), qPrintable(notice()));

        QCOMPARE(program->ask("T 0\n"), QStringLiteral("RPRT 0"));
        QVERIFY(!window().lblTransmit->isVisible());
        QCOMPARE(notice(), QStringLiteral("Receiving"));
        QCOMPARE(window().Label1->text(), scale);
        QCOMPARE(window().pbarSmeter->accessibleName(), QStringLiteral("S-meter"));
        QTRY_COMPARE(window().pbarSmeter->value(), 9);
    }

    void theStopUnkeysAndKeyingWaitsForAllow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << "escape";
        QTest::newRow("Escape while speaking") << "speaking";
        QTest::newRow("Escape after Escape closed the settings dialog") << "dialog";
        QTest::newRow("the Stop TX button") << "button";
    }
    void theStopUnkeysAndKeyingWaitsForAllow()
    {
        QFETCH(QString, how);
        QVERIFY(keyByProgram());
        if (how == QLatin1String("speaking")) {
            rig.player.holdMs = 60000;
            QTest::mouseClick(window().cmdSpeak, Qt::LeftButton);
            QVERIFY(window().Speaking());
        } else if (how == QLatin1String("dialog")) {
            QTest::mouseClick(window().cmdSettings, Qt::LeftButton);
            QVERIFY(waitForDialog(window()));
            QTest::keyClick(window().Form2(), Qt::Key_Escape);
            QTRY_VERIFY(!window().Form2());
            QVERIFY(radio().Transmitting()); // that Escape was the dialog's Cancel
        }
        const int from = logSize();
        if (how == QLatin1String("button"))
            QTest::mouseClick(window().cmdTransmit, Qt::LeftButton);
        else
            QTest::keyClick(&window(), Qt::Key_Escape);
        QVERIFY(!window().Speaking());
        // Receiving once receive has left the port.
        QTRY_VERIFY(!radio().Transmitting());
        QVERIFY(rig.commandsSince(from).contains(kUnkey));
        QVERIFY(!window().lblTransmit->isVisible());
        QVERIFY2(notice().contains(QStringLiteral("stopped at the radio")), qPrintable(notice()));

        // Refused until the person allows it again, with the same control.
        QCOMPARE(window().cmdTransmit->text(), QStringLiteral("Allow &TX"));
        QCOMPARE(window().cmdTransmit->accessibleName(), QStringLiteral("Allow transmitting"));
        QCOMPARE(program->ask("T 1\n"), QStringLiteral("RPRT -9"));
        QVERIFY(!rig.commandsSince(from).contains(kKey));
        QTest::mouseClick(window().cmdTransmit, Qt::LeftButton);
        QCOMPARE(window().cmdTransmit->text(), QStringLiteral("Stop &TX"));
        QVERIFY(keyByProgram());
    }

    // Keyed, presses that would retune the transmitter or switch satellite
    // mode send nothing and say why; receiving, bands and memories leave
    // satellite mode before they tune.
    void pressesWhileKeyedOrInSatelliteMode_data()
    {
        QTest::addColumn<bool>("keyed");
        QTest::addColumn<bool>("satellite");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("why"); // in the notice line; empty: the notice stays as it was
        const QString locked = QStringLiteral("nothing may retune the transmitter");
        const QString off = QStringLiteral("Satellite mode off");
        QTest::newRow("keyed: mode button") << true << false << "mode" << QStringList{} << locked;
        QTest::newRow("keyed: slider key") << true << false << "slider key" << QStringList{} << locked;
        QTest::newRow("keyed, satellite: band button")
            << true << true << "band" << QStringList{} << "would leave satellite mode";
        QTest::newRow("keyed, satellite: the toggle")
            << true << true << "satellite" << QStringList{} << "satellite mode cannot be switched";
        QTest::newRow("keyed, satellite: mode button retunes the downlink")
            << true << true << "mode" << QStringList{"00 00 00 00 17"} << QString();
        QTest::newRow("satellite: band button leaves it first")
            << false << true << "band" << QStringList{kSatelliteOff, "00 70 50 00 01", "00 00 00 00 07"} << off;
        QTest::newRow("satellite: memory channel leaves it first")
            << false << true << "memory" << QStringList{kSatelliteOff, "01 42 00 00 01", "01 00 00 00 07"} << off;
    }
    void pressesWhileKeyedOrInSatelliteMode()
    {
        QFETCH(bool, keyed);
        QFETCH(bool, satellite);
        QFETCH(QString, press);
        QFETCH(QStringList, sent);
        QFETCH(QString, why);
        if (satellite)
            QVERIFY(satelliteOn());
        if (keyed)
            QVERIFY(keyByProgram());
        const QString noticeBefore = notice();
        const int from = logSize();
        if (press == QLatin1String("mode")) {
            QTest::mouseClick(window().Command2[0], Qt::LeftButton);
        } else if (press == QLatin1String("slider key")) {
            window().sldHigh->setFocus();
            QTest::keyClick(window().sldHigh, Qt::Key_Right);
        } else if (press == QLatin1String("band")) {
            QTest::mouseClick(window().Command1[2], Qt::LeftButton);
        } else if (press == QLatin1String("memory")) {
            window().cboMemories->setCurrentIndex(0);
            window().cboMemories_Click();
        } else {
            QTest::mouseClick(window().cmdSatellite, Qt::LeftButton);
            QCOMPARE(window().cmdSatellite->isChecked(), satellite); // the click did not switch it
        }
        QVERIFY(waitForRounds(3));
        QCOMPARE(pressedSince(from), sent);
        QCOMPARE(radio().Transmitting(), keyed);
        // Only a keyed transmitter keeps satellite mode through the press.
        QCOMPARE(radio().Satellite(), satellite && keyed);
        QCOMPARE(window().cmdSatellite->isChecked(), satellite && keyed);
        QCOMPARE(window().txtUplink->isVisible(), satellite && keyed);
        if (why.isEmpty())
            QCOMPARE(notice(), noticeBefore);
        else
            QVERIFY2(notice().contains(why), qPrintable(notice()));
    }

    void satelliteModeShowsBothFrequencies()
    {
        QVERIFY(rig.sim.send(QStringLiteral("sat-rx-mode 01"))); // a case before set it to LSB
        QVERIFY(!window().txtUplink->isVisible());
        int from = logSize();
        QVERIFY(satelliteOn());
        QCOMPARE(pressedSince(from), QStringList{kSatelliteOn});
        QVERIFY(window().cmdSatellite->isChecked());
        QVERIFY(window().txtUplink->isVisible());
        QCOMPARE(window().txtUplink->text(), QStringLiteral("↑ 145.900.00 LSB"));
        QTRY_COMPARE(window().txtFreq->text(), QStringLiteral("435.900.00"));
        QCOMPARE(window().txtMode->text(), QStringLiteral("USB"));
        QVERIFY(rig.sim.send(QStringLiteral("sat-tx-freq 14591250")));
        QTRY_COMPARE(window().txtUplink->text(), QStringLiteral("↑ 145.912.50 LSB"));

        // Speak reads the big box: the downlink.
        rig.player.opened.clear();
        QTest::mouseClick(window().cmdSpeak, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window().Speaking(), 5000);
        QStringList spoken;
        for (const QString& path : rig.player.opened)
            spoken << QFileInfo(path).baseName();
        QCOMPARE(spoken, (QStringList{"4", "3", "5", "Point", "9", "0", "0", "Point", "0", "0"}));

        from = logSize();
        QTest::mouseClick(window().cmdSatellite, Qt::LeftButton);
        QTRY_VERIFY(!window().txtUplink->isVisible());
        QVERIFY(!window().cmdSatellite->isChecked());
        QTRY_COMPARE(pressedSince(from), QStringList{kSatelliteOff});
        QCOMPARE(notice(), QStringLiteral("Satellite mode off"));

        // A program switches it: the window follows.
        QCOMPARE(program->ask("S 1 VFOB\n"), QStringLiteral("RPRT 0"));
        QTRY_VERIFY(window().cmdSatellite->isChecked() && window().txtUplink->isVisible());
    }

    // Keyed at the radio's microphone: receive is tried once, then the
    // window shows who keyed it, and until it is let go programs read it on
    // the air, may neither key nor retune it, and the window tunes nothing.
    void aKeyAtTheRadioIsSeenAndHoldsTheTuning()
    {
        const int from = logSize();
        QVERIFY(rig.sim.send(QStringLiteral("ptt on")));
        QTRY_VERIFY(radio().KeyedAtRadio());
        QVERIFY(window().lblTransmit->isVisible());
        QVERIFY2(notice().contains(QStringLiteral("keyed at its microphone")), qPrintable(notice()));
        QCOMPARE(program->ask("t\n"), QStringLiteral("1"));
        QCOMPARE(program->ask("F 7074000\n"), QStringLiteral("RPRT -9"));
        QCOMPARE(program->ask("T 1\n"), QStringLiteral("RPRT -9"));
        QCOMPARE(program->ask("T 0\n"), QStringLiteral("RPRT 0"));
        QTest::mouseClick(window().cmdMhzPlus, Qt::LeftButton);
        QVERIFY2(notice().contains(QStringLiteral("keyed at the radio")), qPrintable(notice()));
        QVERIFY(waitForRounds(2));
        QCOMPARE(pressedSince(from), QStringList{kUnkey});
        QVERIFY(rig.sim.send(QStringLiteral("ptt off")));
        QTRY_VERIFY(!radio().Transmitting());
        QCOMPARE(notice(), QStringLiteral("Receiving"));
        QCOMPARE(program->ask("t\n"), QStringLiteral("0"));
    }

    // Last: the simulator's adapter goes and does not come back.
    void aPortLostWhileKeyedIsWarnedInFull()
    {
        QVERIFY(keyByProgram());
        QVERIFY(rig.sim.unplug());
        QTRY_VERIFY(!radio().Transmitting());
        QVERIFY2(notice().contains(QStringLiteral("it may still be transmitting")), qPrintable(notice()));
        // The whole warning fits the notice line's height.
        auto* text = window().noticeLine->findChild<QLabel*>();
        QCOMPARE_LE(text->heightForWidth(text->width()), text->height());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowTransmit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_transmit.moc"
