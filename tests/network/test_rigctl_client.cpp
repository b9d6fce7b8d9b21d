// Debian's own rig-control client (rigctl -m 2, "Hamlib NET rigctl") against
// the real Solvane program, with the FT-847 simulator behind it: what the
// client reads and sets, and what reaches the radio's line.

#include "solvane_station.h"

#include <QStandardPaths>


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
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

    // WSJT-X keys with T 1 or T 3 and reads t; a program that leaves while
    // keyed, as rigctl does after its last command, is unkeyed at once.
    void transmitKeysAndUnkeys_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("line");
        const QString on = QStringLiteral("00 00 00 00 08");
        const QString off = QStringLiteral("00 00 00 00 88");
        QTest::newRow("T 1 t T 0 t") << "T 1 t T 0 t" << QStringList{"1", "0"} << QStringList{on, off};
        QTest::newRow("T 3 (rear data)") << "T 3 t T 0" << QStringList{"3"} << QStringList{on, off};
        QTest::newRow("leaves while keyed") << "T 1 t" << QStringList{"1"} << QStringList{on, off};
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
};

QTEST_GUILESS_MAIN(TestRigctlClient)
#include "test_rigctl_client.moc"
