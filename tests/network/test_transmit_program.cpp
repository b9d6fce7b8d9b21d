// The real program keys the transmitter for its network clients, and never
// leaves it keyed: receive before the release at a termination signal, and
// at the time limit from the settings; [Transmit] turns keying off. The headless server also waits quietly for a device
// that is there but will not open yet.

#include "loopback_line_client.h"
#include "solvane_station.h"

namespace {

const QString kKey = QStringLiteral("00 00 00 00 08");
const QString kUnkey = QStringLiteral("00 00 00 00 88");
const QString kRelease = QStringLiteral("00 00 00 00 80");

QString ErrorsOf(QProcess& process) { return QString::fromLocal8Bit(process.readAllStandardError()); }

} // namespace

class TestTransmitProgram : public QObject {
    Q_OBJECT
private slots:
    void terminationUnkeysBeforeTheRelease_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("window") << QStringList{};
        QTest::newRow("headless") << QStringList{QStringLiteral("--headless")};
    }
    void terminationUnkeysBeforeTheRelease()
    {
        QFETCH(QStringList, args);
        Station station;
        QVERIFY(station.start({QStringLiteral("--baud"), QStringLiteral("4800")}, args,
                              "[Settings]\nCommSpeed=4800,N,8,1\n"));
        LineClient keyer(station.port);
        QCOMPARE(keyer.ask("T 1\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(keyer.ask("t\n"), QStringLiteral("1"));
        station.solvane.terminate();
        QVERIFY(station.solvane.waitForFinished(10000));
        QCOMPARE(station.solvane.exitCode(), 0);
        const QStringList log = station.sim.loggedCommands();
        const qsizetype keyed = log.lastIndexOf(kKey);
        const qsizetype unkeyed = log.lastIndexOf(kUnkey);
        QVERIFY2(keyed > 1 && unkeyed > keyed, qPrintable(log.join(QStringLiteral(", "))));
        QCOMPARE(log.last(), kRelease);
        QCOMPARE(station.sim.loggedStates().last(), QStringLiteral("transmit off"));
    }

    // The limit comes from the settings; at it the transmitter is unkeyed,
    // standard error says why, and the holder reads receive.
    void theTimeLimitUnkeys()
    {
        Station station;
        QVERIFY(station.start({QStringLiteral("--baud"), QStringLiteral("4800")}, {QStringLiteral("--headless")},
                              "[Settings]\nCommSpeed=4800,N,8,1\n[Transmit]\nLimit=10\n"));
        LineClient keyer(station.port);
        QCOMPARE(keyer.ask("T 1\n"), QStringLiteral("RPRT 0"));
        QVERIFY(QTest::qWaitFor([&] { return station.sim.loggedCommands().count(kUnkey) >= 2; }, 15000));
        QCOMPARE(keyer.ask("t\n"), QStringLiteral("0"));
        QCOMPARE(keyer.ask("T 1\n"), QStringLiteral("RPRT 0")); // a new transmission
        QCOMPARE(keyer.ask("T 0\n"), QStringLiteral("RPRT 0"));
        QTRY_COMPARE(station.sim.loggedCommands().count(kKey), 2);
        station.solvane.terminate();
        QVERIFY(station.solvane.waitForFinished(10000));
        QVERIFY(ErrorsOf(station.solvane).contains(QStringLiteral("reached the 10 s limit ([Transmit] Limit)")));
    }

    void settingsThatTurnKeyingOff_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("said"); // on standard error; empty: nothing
        QTest::newRow("Enabled=false") << QByteArray("[Transmit]\nEnabled=false\n") << QString();
        QTest::newRow("Limit below 10 s") << QByteArray("[Transmit]\nLimit=5\n")
                                          << QStringLiteral("[Transmit] Limit=5 is not a number of seconds");
        QTest::newRow("Allow malformed") << QByteArray("[Transmit]\nAllow=192.168.1.0/99\n")
                                         << QStringLiteral("[Transmit] Allow:");
        // This computer may key unless the settings say otherwise; Allow names others.
        QTest::newRow("Allow elsewhere") << QByteArray("[Transmit]\nAllow=192.168.1.0/24\n") << QStringLiteral("ok");
    }
    void settingsThatTurnKeyingOff()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, said);
        Station station;
        QVERIFY(station.start({}, {QStringLiteral("--headless")}, settings));
        LineClient keyer(station.port);
        const bool keys = said == QLatin1String("ok");
        QCOMPARE(keyer.ask("T 1\n"), keys ? QStringLiteral("RPRT 0") : QStringLiteral("RPRT -9"));
        QCOMPARE(keyer.ask("f\n"), QStringLiteral("14200000")); // the rest runs as usual
        keyer.socket.abort();
        QTRY_COMPARE(station.sim.loggedCommands().count(kKey), keys ? 1 : 0);
        station.solvane.terminate();
        QVERIFY(station.solvane.waitForFinished(10000));
        const QString errors = ErrorsOf(station.solvane);
        if (!keys && !said.isEmpty())
            QVERIFY2(errors.count(said) == 1, qPrintable(errors));
        if (said.isEmpty())
            QVERIFY2(!errors.contains(QStringLiteral("[Transmit]")), qPrintable(errors));
    }

    // A service at boot may find the adapter there before its permissions
    // are set, or held by another program: it says so once and tries again.
    void headlessRetriesADeviceThatWillNotOpen()
    {
        Station station;
        QVERIFY(station.sim.start());
        station.device = station.config.filePath(QStringLiteral("radio"));
        QFile notASerialPort(station.device);
        QVERIFY(notASerialPort.open(QIODevice::WriteOnly));
        notASerialPort.close();
        QVERIFY(station.launch({QStringLiteral("--headless")}, {}));
        QVERIFY(QTest::qWaitFor([&] { return station.solvane.state() == QProcess::Running; }, 5000));
        QTest::qWait(2 * 1000 + 200); // two retries that fail
        QVERIFY(station.sim.loggedCommands().isEmpty());
        // Now it is the radio's port.
        const QString link = station.config.filePath(QStringLiteral("radio.new"));
        QVERIFY(QFile::link(station.sim.device(), link));
        QVERIFY(QFile::remove(station.device) && QFile::rename(link, station.device));
        QVERIFY(QTest::qWaitFor([&] { return station.sim.loggedCommands().contains(QStringLiteral("00 00 00 00 00")); },
                                5000));
        station.solvane.terminate();
        QVERIFY(station.solvane.waitForFinished(10000));
        QCOMPARE(station.solvane.exitCode(), 0);
        QCOMPARE(ErrorsOf(station.solvane).count(QStringLiteral("COM Port not available")), 1);
    }
};

QTEST_GUILESS_MAIN(TestTransmitProgram)
#include "test_transmit_program.moc"
