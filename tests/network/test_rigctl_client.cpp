// Debian's own rig-control client (rigctl -m 2, "Hamlib NET rigctl") and
// programs that key the transmitter, against the real Solvane program with
// the FT-847 simulator behind it: what the client reads and sets, what
// reaches the radio's line, and that no transmitter is left keyed: receive
// before the release at a termination signal and at the time limit from
// [Transmit], which can also turn keying off. The headless server waits
// quietly for a device that is there but will not open yet.

#include "loopback_line_client.h"
#include "sim_process.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Solvane, offscreen, with port 2 mapped to the simulator and its server on
// 127.0.0.1:port.
struct Station {
    SimProcess sim;
    QTemporaryDir config;
    QProcess solvane;
    quint16 port = 0;
    QString device; // port 2's device; the simulator's when empty

    // Starts Solvane and waits until it polls, or with --headless (which
    // polls only for its clients) until it has taken control.
    bool start(const QStringList& simArgs = {}, QStringList extraArgs = {}, const QByteArray& moreSettings = {})
    {
        if (!sim.start(simArgs) || !launch(extraArgs, moreSettings))
            return false;
        const QString ready = extraArgs.contains(QStringLiteral("--headless")) ? QStringLiteral("00 00 00 00 00")
                                                                               : QStringLiteral("00 00 00 00 03");
        return QTest::qWaitFor([&] { return sim.loggedCommands().contains(ready); }, 10000);
    }

    // With `ownPort`, the server listens on 127.0.0.1:port whatever [Network] says.
    bool launch(QStringList extraArgs, const QByteArray& moreSettings, bool ownPort = true)
    {
        QFile conf(config.filePath(QStringLiteral("Solvane.conf")));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("[Ports]\nCOM2=" + (device.isEmpty() ? sim.device() : device).toLocal8Bit() + "\n" + moreSettings);
        conf.close();
        port = FreePort();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        solvane.setProcessEnvironment(env);
        solvane.setWorkingDirectory(config.path());
        if (ownPort && !extraArgs.contains(QStringLiteral("--listen")))
            extraArgs << QStringLiteral("--listen") << QStringLiteral("127.0.0.1:%1").arg(port);
        solvane.start(QStringLiteral(SOLVANE_PATH), extraArgs);
        return solvane.waitForStarted(5000);
    }

    ~Station()
    {
        solvane.terminate();
        solvane.waitForFinished(5000);
    }

    // Runs `rigctl -m 2` with these commands; its standard output, one
    // value a line (it exits 0 even when a request fails).
    QStringList rigctl(const QStringList& commands, QString* errors = nullptr) const
    {
        QProcess client;
        client.start(QStringLiteral("rigctl"),
                     QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                                 QStringLiteral("127.0.0.1:%1").arg(port)}
                         + commands);
        if (!client.waitForFinished(30000))
            return {QStringLiteral("rigctl did not finish")};
        if (errors)
            *errors = QString::fromLocal8Bit(client.readAllStandardError());
        return QString::fromLocal8Bit(client.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QStringList userCommands() const
    {
        // Taking control is CAT on, then receive for a radio left keyed.
        QStringList out;
        QString previous;
        for (const QString& line : sim.loggedCommands()) {
            const bool takingControl = line == QLatin1String("00 00 00 00 00")
                                    || (line == QLatin1String("00 00 00 00 88") && previous == QLatin1String("00 00 00 00 00"));
            const bool poll = line.endsWith(QLatin1String(" 03")) || line.endsWith(QLatin1String(" E7"))
                           || line.endsWith(QLatin1String(" F7"));
            if (!poll && !takingControl)
                out << line;
            previous = line;
        }
        return out;
    }
};

QStringList words(const char* text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); }

const QString kKey = QStringLiteral("00 00 00 00 08");
const QString kUnkey = QStringLiteral("00 00 00 00 88");

QString ErrorsOf(QProcess& process) { return QString::fromLocal8Bit(process.readAllStandardError()); }

} // namespace

class TestRigctlClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("rigctl")).isEmpty())
            QFAIL("rigctl is missing: scripts/setup.sh installs libhamlib-utils");
    }

    void opensAndReadsTheRadio()
    {
        Station station;
        QVERIFY(station.start({QStringLiteral("--freq"), QStringLiteral("1407400"), QStringLiteral("--smeter"),
                               QStringLiteral("9")}));
        const QStringList out = station.rigctl(words("f m v s t get_powerstat l RAWSTR"));
        QCOMPARE(out, (QStringList{"14074000", "USB", "2200", "VFOA", "0", "VFOA", "0", "1", "9"}));
        QCOMPARE(station.userCommands(), QStringList()); // reads add nothing to the line
    }

    void setsReachTheLineAndReadBack()
    {
        Station station;
        QVERIFY(station.start({QStringLiteral("--baud"), QStringLiteral("4800")}));
        // Cut to the radio's 10 Hz step; read back at once, before a poll.
        QCOMPARE(station.rigctl(words("F 14074055 f")), QStringList{"14074050"});
        QVERIFY(QTest::qWaitFor([&] { return station.userCommands().contains("01 40 74 05 01"); }, 5000));
        QTRY_COMPARE_WITH_TIMEOUT(station.rigctl(words("f")), QStringList{"14074050"}, 5000);
        // CW with a 500 Hz passband is the narrow mode; USB goes back.
        QCOMPARE(station.rigctl(words("M CW 500")), QStringList());
        QVERIFY(QTest::qWaitFor([&] { return station.userCommands().contains("82 00 00 00 07"); }, 5000));
        QCOMPARE(station.rigctl(words("M USB 0")), QStringList());
        QVERIFY(QTest::qWaitFor([&] { return station.userCommands().contains("01 00 00 00 07"); }, 5000));
        QTRY_COMPARE_WITH_TIMEOUT(station.rigctl(words("m")), (QStringList{"USB", "2200"}), 5000);
        // A repeater's settings, each on the line in turn; CSQL (mask bit 33)
        // is sent only because \dump_state lists it.
        QCOMPARE(station.rigctl(words("U TONE 1 C 885 R + O 600000 U CSQL 1")), QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(station.userCommands().mid(3),
                                  (QStringList{"4A 00 00 00 0A", "0E 00 00 00 0B", "49 00 00 00 09",
                                               "00 06 00 00 F9", "0A 00 00 00 0A"}),
                                  5000);
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

    // WSJT-X keys with T 1 or T 3 and reads t; a program that leaves while
    // keyed, as rigctl does after its last command, is unkeyed at once.
    void transmitKeysAndUnkeys_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("line");
        QTest::newRow("T 1 t T 0 t") << "T 1 t T 0 t" << QStringList{"1", "0"} << QStringList{kKey, kUnkey};
        QTest::newRow("T 3 (rear data)") << "T 3 t T 0" << QStringList{"3"} << QStringList{kKey, kUnkey};
        QTest::newRow("leaves while keyed") << "T 1 t" << QStringList{"1"} << QStringList{kKey, kUnkey};
        QTest::newRow("T 0 alone sends nothing") << "T 0 t" << QStringList{"0"} << QStringList{};
    }
    void transmitKeysAndUnkeys()
    {
        QFETCH(QString, commands);
        QFETCH(QStringList, out);
        QFETCH(QStringList, line);
        Station station;
        QVERIFY(station.start({QStringLiteral("--baud"), QStringLiteral("4800")}));
        QCOMPARE(station.rigctl(commands.split(QLatin1Char(' '))), out);
        QTRY_COMPARE_WITH_TIMEOUT(station.userCommands(), line, 5000);
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

    void fiveClientsAtOnce()
    {
        Station station;
        QVERIFY(station.start({QStringLiteral("--freq"), QStringLiteral("705000"), QStringLiteral("--mode"),
                               QStringLiteral("00")}));
        QStringList commands;
        for (int i = 0; i < 20; ++i)
            commands << QStringLiteral("f") << QStringLiteral("m");
        QList<QProcess*> clients;
        for (int c = 0; c < 5; ++c) {
            auto* client = new QProcess(this);
            client->start(QStringLiteral("rigctl"), QStringList{QStringLiteral("-m"), QStringLiteral("2"),
                                                                QStringLiteral("-r"),
                                                                QStringLiteral("127.0.0.1:%1").arg(station.port)}
                                                        + commands);
            clients << client;
        }
        for (QProcess* client : clients) {
            QVERIFY(client->waitForFinished(30000));
            const QStringList out =
                QString::fromLocal8Bit(client->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(out.size(), 60);
            for (int i = 0; i < 60; i += 3) {
                QCOMPARE(out[i], QStringLiteral("7050000"));
                QCOMPARE(out[i + 1], QStringLiteral("LSB"));
            }
            delete client;
        }
        QCOMPARE(station.userCommands(), QStringList()); // the line carried the poll alone
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

    void terminationHandsTheRadioBackAndStores()
    {
        // A logout sends SIGTERM: the program ends as by its close box.
        Station station;
        QVERIFY(station.start());
        station.solvane.terminate();
        QVERIFY(station.solvane.waitForFinished(10000));
        QCOMPARE(station.solvane.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.solvane.exitCode(), 0);
        QTRY_COMPARE(station.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
        QFile conf(station.config.filePath(QStringLiteral("Solvane.conf")));
        QVERIFY(conf.open(QIODevice::ReadOnly));
        QVERIFY(conf.readAll().contains("Commport=2"));
    }

    void headlessServesItsClientsAndHandsTheRadioBack()
    {
        Station station;
        QVERIFY(station.start({QStringLiteral("--baud"), QStringLiteral("4800")}, {QStringLiteral("--headless")},
                              "[Settings]\nCommSpeed=4800,N,8,1\n"));
        // No window and no client: nothing is read from the radio.
        QTest::qWait(300);
        QVERIFY(!station.sim.loggedCommands().contains(QStringLiteral("00 00 00 00 03")));
        // The first read after the idle spell waits for a fresh reading.
        QCOMPARE(station.rigctl(words("f m")), (QStringList{"14200000", "USB", "2200"}));
        QVERIFY(station.sim.loggedCommands().contains(QStringLiteral("00 00 00 00 03")));
        QCOMPARE(station.rigctl(words("F 7074000 f")), QStringList{"7074000"});
        station.solvane.terminate();
        QVERIFY(station.solvane.waitForFinished(10000));
        QCOMPARE(station.solvane.exitCode(), 0);
        const QStringList log = station.sim.loggedCommands();
        // Receive follows taking control, for a radio left transmitting.
        QCOMPARE(log.mid(0, 2), (QStringList{QStringLiteral("00 00 00 00 00"), QStringLiteral("00 00 00 00 88")}));
        QCOMPARE(log.last(), QStringLiteral("00 00 00 00 80"));
        QVERIFY(log.contains(QStringLiteral("00 70 74 00 01")));
        QCOMPARE(station.sim.loggedOverlaps(), 0);
        QVERIFY(QString::fromLocal8Bit(station.solvane.readAllStandardError()).contains(QStringLiteral("serving the radio")));
    }

    void headlessWithNothingToServe_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("exitCode"); // 2: a restart cannot help; 1: it may
        QTest::addColumn<QString>("why");
        QTest::newRow("--no-listen") << QStringList{"--headless", "--no-listen"} << QByteArray() << 2
                                     << "nothing to serve";
        QTest::newRow("Listen=false") << QStringList{"--headless"} << QByteArray("[Network]\nListen=false\n") << 2
                                      << "[Network] Listen";
        QTest::newRow("an address that is not one") << QStringList{"--headless"} << QByteArray("[Network]\nAddress=0\n")
                                                    << 2 << "[Network] Address";
        QTest::newRow("the port in use") << QStringList{"--headless", "--listen", "127.0.0.1:TAKEN"} << QByteArray() << 1
                                         << "the port is in use";
    }
    void headlessWithNothingToServe()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, settings);
        QFETCH(int, exitCode);
        QFETCH(QString, why);
        QTcpServer squatter; // another daemon on the port
        QVERIFY(squatter.listen(QHostAddress::LocalHost, 0));
        args.replaceInStrings(QStringLiteral("TAKEN"), QString::number(squatter.serverPort()));
        Station station;
        QVERIFY(station.sim.start());
        QVERIFY(station.launch(args, settings, false));
        QVERIFY(station.solvane.waitForFinished(10000));
        QCOMPARE(station.solvane.exitCode(), exitCode);
        const QString said = QString::fromLocal8Bit(station.solvane.readAllStandardError());
        QVERIFY2(said.contains(why) && !said.contains(QStringLiteral("runs on")), qPrintable(said));
        QVERIFY(station.sim.loggedCommands().isEmpty()); // the radio was never taken
    }

    void portTakenRunsOnWithoutTheServer()
    {
        QTcpServer squatter; // another daemon on the port
        QVERIFY(squatter.listen(QHostAddress::LocalHost, 0));
        Station station;
        QVERIFY(station.start({}, {QStringLiteral("--listen"),
                                   QStringLiteral("127.0.0.1:%1").arg(squatter.serverPort())}));
        const QString said = QString::fromLocal8Bit(station.solvane.readAllStandardError());
        QVERIFY2(said.contains(QString::number(squatter.serverPort())) && said.contains(QStringLiteral("--listen")),
                 qPrintable(said));
        QCOMPARE(said.count(QStringLiteral("cannot share")), 1);
        QVERIFY(station.solvane.state() == QProcess::Running); // the radio is still served to the window
    }
    // Also when the holder leaves just before (a logout ends both): the
    // receive its leaving made owed goes out, however slow the radio.
    void terminationUnkeysBeforeTheRelease_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<bool>("holderLeaves");
        const QStringList headless{QStringLiteral("--headless")};
        QTest::newRow("window") << QStringList{} << QStringList{} << false;
        QTest::newRow("headless") << headless << QStringList{} << false;
        QTest::newRow("headless, the holder leaves first, replies 400 ms late")
            << headless << QStringList{QStringLiteral("--delay-ms"), QStringLiteral("400")} << true;
    }
    void terminationUnkeysBeforeTheRelease()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, simArgs);
        QFETCH(bool, holderLeaves);
        Station station;
        QVERIFY(station.start(QStringList{QStringLiteral("--baud"), QStringLiteral("4800")} + simArgs, args,
                              "[Settings]\nCommSpeed=4800,N,8,1\n"));
        LineClient keyer(station.port);
        QCOMPARE(keyer.ask("T 1\n", 10000), QStringLiteral("RPRT 0"));
        QCOMPARE(keyer.ask("t\n"), QStringLiteral("1"));
        if (holderLeaves) {
            keyer.socket.disconnectFromHost();
            QVERIFY(keyer.socket.state() == QAbstractSocket::UnconnectedState || keyer.socket.waitForDisconnected(1000));
        }
        station.solvane.terminate();
        QVERIFY(station.solvane.waitForFinished(10000));
        QCOMPARE(station.solvane.exitCode(), 0);
        // Receive and the release do not wait out an overdue reply: the
        // simulator marks them sent while one was late.
        QStringList log = station.sim.loggedCommands();
        log.replaceInStrings(QStringLiteral("OVERLAP "), QString());
        const qsizetype keyed = log.lastIndexOf(kKey);
        const qsizetype unkeyed = log.lastIndexOf(kUnkey);
        QVERIFY2(keyed > 1 && unkeyed > keyed, qPrintable(log.join(QStringLiteral(", "))));
        QCOMPARE(log.last(), QStringLiteral("00 00 00 00 80"));
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
        // Receive once the 88's line time has passed, a moment after the log.
        QTRY_COMPARE(keyer.ask("t\n"), QStringLiteral("0"));
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
        const QString refused = QStringLiteral("COM Port not available");
        QString errors;
        QVERIFY(QTest::qWaitFor([&] { return (errors += ErrorsOf(station.solvane)).contains(refused); }, 5000));
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
        QCOMPARE((errors + ErrorsOf(station.solvane)).count(refused), 1); // said once, however many tries
    }
};

QTEST_GUILESS_MAIN(TestRigctlClient)
#include "test_rigctl_client.moc"
