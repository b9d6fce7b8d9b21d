// Satellite mode from the real window: the toggle by mouse and keyboard,
// the downlink in the big box and the uplink below it, Speak reading the
// downlink, band buttons and memories leaving the mode first, and a program
// switching it through the sharing server.

#include "loopback_client.h"
#include "window_rig.h"

#include <QAccessible>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString kSatelliteOn = QStringLiteral("00 00 00 00 4E");
const QString kSatelliteOff = QStringLiteral("00 00 00 00 8E");

QStringList userCommands(const QStringList& log)
{
    static const QStringList reads{" 03", " 13", " 23", " E7", " F7"};
    QStringList out;
    for (const QString& line : log)
        if (std::none_of(reads.begin(), reads.end(), [&](const QString& r) { return line.endsWith(r); }))
            out << line;
    return out;
}

} // namespace

class TestWindowSatellite : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    WindowRig rig;

    MainWindow& window() { return *rig.window; }
    Transceiver& radio() { return rig.window->Radio(); }
    bool satelliteOn()
    {
        QTest::mouseClick(window().cmdSatellite, Qt::LeftButton);
        return QTest::qWaitFor([&] { return window().txtUplink->isVisible() && !window().txtUplink->text().isEmpty(); },
                               3000);
    }

private slots:
    void initTestCase()
    {
        const QString memories = dir.filePath(QStringLiteral("Memories.txt"));
        QFile file(memories);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("20m net,14200,USB\r\n");
        file.close();
        // Downlink 435.900.00 USB, uplink 145.900.00 LSB.
        QVERIFY(rig.start({}, memories));
        QVERIFY(rig.waitForReading());
    }

    void init()
    {
        radio().SetSatellite(false);
        QTRY_VERIFY(!radio().Satellite() && !radio().Busy());
    }

    void cleanupTestCase() { QVERIFY(rig.shutDown()); }

    void theWindowShowsBothFrequencies()
    {
        QVERIFY(!window().txtUplink->isVisible());
        int from = int(rig.sim.loggedCommands().size());
        QVERIFY(satelliteOn());
        QCOMPARE(userCommands(rig.commandsSince(from)), QStringList{kSatelliteOn});
        QVERIFY(window().cmdSatellite->isChecked());
        QCOMPARE(window().txtUplink->text(), QStringLiteral("↑ 145.900.00 LSB"));
        QTRY_COMPARE(window().txtFreq->text(), QStringLiteral("435.900.00"));
        QCOMPARE(window().txtMode->text(), QStringLiteral("USB"));
        QCOMPARE(QAccessible::queryAccessibleInterface(window().txtUplink)->text(QAccessible::Name),
                 QStringLiteral("Uplink"));
        QVERIFY(window().NoticeText().startsWith(QStringLiteral("Satellite mode on")));
        // The uplink follows the radio.
        QVERIFY(rig.sim.send(QStringLiteral("sat-tx-freq 14591250")));
        QTRY_COMPARE(window().txtUplink->text(), QStringLiteral("↑ 145.912.50 LSB"));

        // Speak reads the big box: the downlink.
        QTest::mouseClick(window().cmdSpeak, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window().Speaking(), 5000);
        QStringList spoken;
        for (const QString& path : rig.player.opened)
            spoken << QFileInfo(path).baseName();
        QCOMPARE(spoken, (QStringList{"4", "3", "5", "Point", "9", "0", "0", "Point", "0", "0"}));

        // Off again from the keyboard.
        window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        from = int(rig.sim.loggedCommands().size());
        QTest::keyClick(&window(), Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(!window().txtUplink->isVisible());
        QVERIFY(!window().cmdSatellite->isChecked());
        QCOMPARE(userCommands(rig.commandsSince(from)), QStringList{kSatelliteOff});
        QTRY_COMPARE(window().txtFreq->text(), QStringLiteral("14.200.00"));
    }

    void bandsAndMemoriesLeaveSatelliteModeFirst_data()
    {
        QTest::addColumn<QString>("press");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("band button") << "band" << QStringList{kSatelliteOff, "00 70 50 00 01", "00 00 00 00 07"};
        QTest::newRow("memory channel") << "memory" << QStringList{kSatelliteOff, "01 42 00 00 01", "01 00 00 00 07"};
    }
    void bandsAndMemoriesLeaveSatelliteModeFirst()
    {
        QFETCH(QString, press);
        QFETCH(QStringList, sent);
        QVERIFY(satelliteOn());
        const int from = int(rig.sim.loggedCommands().size());
        if (press == QLatin1String("band")) {
            QTest::mouseClick(window().Command1[2], Qt::LeftButton);
        } else {
            window().cboMemories->setCurrentIndex(0);
            window().cboMemories_Click();
        }
        QTRY_COMPARE(userCommands(rig.commandsSince(from)), sent);
        QVERIFY(!radio().Satellite());
        QVERIFY(!window().txtUplink->isVisible());
        QVERIFY(!window().cmdSatellite->isChecked());
    }

    void aProgramSwitchingItIsShown()
    {
        auto sharing = ShareOnLoopback(window());
        QVERIFY(sharing);
        Client program(sharing->Server().serverPort());
        QCOMPARE(program.ask("S 1 VFOB\n"), QStringLiteral("RPRT 0"));
        QTRY_VERIFY(window().cmdSatellite->isChecked());
        QTRY_VERIFY(window().txtUplink->isVisible() && window().txtUplink->text().startsWith(QStringLiteral("↑ 145.9")));
        QCOMPARE(program.ask("S 0 VFOA\n"), QStringLiteral("RPRT 0"));
        QTRY_VERIFY(!window().cmdSatellite->isChecked());
        QVERIFY(!window().txtUplink->isVisible());
        QCOMPARE(window().NoticeText(), QStringLiteral("Satellite mode off"));
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowSatellite test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_satellite.moc"
