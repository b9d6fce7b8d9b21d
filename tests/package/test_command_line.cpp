// The command-line parser: outcomes, exit codes, --listen values, and Qt's
// own options left for QApplication.
#include "command_line.h"

#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

    static CommandLineOutcome parse(QStringList arguments)
    {
        arguments.prepend(QStringLiteral("solvane"));
        return ParseCommandLine(arguments, QStringLiteral("9.8.7"));
    }

private slots:
    void noArgumentsRunsWithSettingsInCharge()
    {
        const CommandLineOutcome outcome = parse({});
        QCOMPARE(outcome.action, CommandLineOutcome::Action::Run);
        QVERIFY(!outcome.shouldExit());
        QVERIFY(!outcome.options.noListen);
        QVERIFY(!outcome.options.listenAddress.has_value());
        QVERIFY(!outcome.options.listenPort.has_value());
    }

    // Qt's options are let through whole, in order, with their values;
    // Solvane's own among them still count.
    void qtOptionsAreLeftForQt_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("qtOptions");
        QTest::addColumn<QString>("own"); // the one of Solvane's flags set
        const auto row = [](const char* name, QStringList arguments, QStringList qt, const char* own = "") {
            QTest::newRow(name) << arguments << qt << QString::fromLatin1(own);
        };
        row("-style fusion", {"-style", "fusion"}, {"-style", "fusion"});
        row("-style=fusion", {"-style=fusion"}, {"-style=fusion"});
        row("--style fusion", {"--style", "fusion"}, {"--style", "fusion"});
        row("-platform, -display, -session", {"-platform", "offscreen", "-display", ":1", "-session", "1_2"},
            {"-platform", "offscreen", "-display", ":1", "-session", "1_2"});
        row("flags", {"-reverse", "-widgetcount", "-nograb"}, {"-reverse", "-widgetcount", "-nograb"});
        row("among Solvane's", {"-platform", "offscreen", "--no-listen", "-reverse"},
            {"-platform", "offscreen", "-reverse"}, "no-listen");
        row("a value that looks like an option", {"-qwindowtitle", "--no-listen"}, {"-qwindowtitle", "--no-listen"});
        row("--headless", {"--headless", "--listen", "0.0.0.0:4532", "-fn", "fixed"}, {"-fn", "fixed"}, "headless");
    }
    void qtOptionsAreLeftForQt()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, qtOptions);
        QFETCH(QString, own);
        const CommandLineOutcome outcome = parse(arguments);
        QCOMPARE(outcome.action, CommandLineOutcome::Action::Run);
        QCOMPARE(outcome.options.qtOptions, qtOptions);
        QCOMPARE(outcome.options.noListen, own == QLatin1String("no-listen"));
        QCOMPARE(outcome.options.headless, own == QLatin1String("headless"));
    }

    void noListenTurnsTheServerOff()
    {
        const CommandLineOutcome outcome = parse({QStringLiteral("--no-listen")});
        QCOMPARE(outcome.action, CommandLineOutcome::Action::Run);
        QVERIFY(outcome.options.noListen);
        QVERIFY(!outcome.options.listenAddress.has_value());
    }

    void listenGivesAddressAndPort_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("IPv4 loopback") << QStringList{"--listen", "127.0.0.1:4532"} << "127.0.0.1" << 4532;
        QTest::newRow("equals form") << QStringList{"--listen=127.0.0.1:4000"} << "127.0.0.1" << 4000;
        QTest::newRow("IPv6 in brackets") << QStringList{"--listen", "[::1]:4532"} << "::1" << 4532;
        QTest::newRow("IPv6 link-local") << QStringList{"--listen", "[fe80::1%eth0]:7"} << "fe80::1%eth0" << 7;
        QTest::newRow("LAN address, top port") << QStringList{"--listen", "192.168.1.20:65535"} << "192.168.1.20" << 65535;
        QTest::newRow("all interfaces, port 1") << QStringList{"--listen", "0.0.0.0:1"} << "0.0.0.0" << 1;
        QTest::newRow("last one counts")
            << QStringList{"--listen", "127.0.0.1:1111", "--listen", "127.0.0.2:2222"} << "127.0.0.2" << 2222;
    }
    void listenGivesAddressAndPort()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, address);
        QFETCH(int, port);
        const CommandLineOutcome outcome = parse(arguments);
        QCOMPARE(outcome.action, CommandLineOutcome::Action::Run);
        QVERIFY(!outcome.options.noListen);
        QCOMPARE(outcome.options.listenAddress.value_or(QString()), address);
        QCOMPARE(int(outcome.options.listenPort.value_or(0)), port);
    }

    void helpListsTheOptionsAndExitsZero_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("-h") << QStringList{"-h"};
        QTest::newRow("help wins over version") << QStringList{"--version", "--help"};
        QTest::newRow("after a Qt option") << QStringList{"-style", "fusion", "--help"};
    }
    void helpListsTheOptionsAndExitsZero()
    {
        QFETCH(QStringList, arguments);
        const CommandLineOutcome outcome = parse(arguments);
        QCOMPARE(outcome.action, CommandLineOutcome::Action::ShowHelp);
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.text.startsWith(QStringLiteral("Usage: solvane [options]\n")));
        for (const char* option : {"--help", "--version", "--listen <ADDRESS:PORT>", "--no-listen", "--headless",
                                   "shack computer", "Qt's own options", "Solvane.conf", "solvane(1)"})
            QVERIFY2(outcome.text.contains(QLatin1String(option)), option);
    }

    void versionPrintsProgramAndVersion()
    {
        const CommandLineOutcome outcome = parse({QStringLiteral("--version")});
        QCOMPARE(outcome.action, CommandLineOutcome::Action::ShowVersion);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.text, QStringLiteral("solvane 9.8.7\n"));
    }

    void usageErrorsExitTwoWithAReason_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown long option") << QStringList{"--bogus"} << "Unknown option 'bogus'";
        QTest::newRow("unknown short option") << QStringList{"-x"} << "Unknown option 'x'";
        QTest::newRow("stray argument") << QStringList{"Memories.txt"} << "unexpected argument 'Memories.txt'";
        QTest::newRow("listen without value") << QStringList{"--listen"} << "Missing value after '--listen'";
        QTest::newRow("listen and no-listen") << QStringList{"--no-listen", "--listen", "127.0.0.1:4532"}
                                              << "cannot be used together";
        QTest::newRow("bad listen value") << QStringList{"--listen", "4532"} << "invalid --listen value '4532'";
        QTest::newRow("bad value despite help after it") << QStringList{"--bogus", "--help"} << "Unknown option";
        QTest::newRow("headless and no-listen") << QStringList{"--headless", "--no-listen"}
                                                << "there would be nothing to serve";
        QTest::newRow("Qt option without its value") << QStringList{"--no-listen", "-style"}
                                                     << "Missing value after '-style'";
        QTest::newRow("Qt option after --") << QStringList{"--", "-style", "fusion"}
                                            << "unexpected argument '-style'";
    }
    void usageErrorsExitTwoWithAReason()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const CommandLineOutcome outcome = parse(arguments);
        QCOMPARE(outcome.action, CommandLineOutcome::Action::Fail);
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY2(outcome.text.startsWith(QStringLiteral("solvane: ")), qPrintable(outcome.text));
        QVERIFY2(outcome.text.contains(reason), qPrintable(outcome.text));
        QVERIFY(outcome.text.endsWith(QStringLiteral("Try 'solvane --help' for more information.\n")));
        QVERIFY(!outcome.options.listenAddress.has_value());
    }

    void malformedEndpointsAreRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        const QString expected = QStringLiteral("expected ADDRESS:PORT");
        const QString badPort = QStringLiteral("port must be a number from 1 to 65535");
        QTest::newRow("empty") << "" << expected;
        QTest::newRow("no port") << "127.0.0.1" << expected;
        QTest::newRow("no address") << ":4532" << expected;
        QTest::newRow("empty port") << "127.0.0.1:" << badPort;
        QTest::newRow("port zero") << "127.0.0.1:0" << badPort;
        QTest::newRow("port too big") << "127.0.0.1:65536" << badPort;
        QTest::newRow("port with sign") << "127.0.0.1:+4532" << badPort;
        QTest::newRow("port with junk") << "127.0.0.1:4532x" << badPort;
        QTest::newRow("port with space") << "127.0.0.1: 4532" << badPort;
        QTest::newRow("IPv6 without brackets") << "::1:4532" << "in brackets";
        QTest::newRow("bracket without colon") << "[::1]4532" << expected;
        QTest::newRow("IPv4 in brackets") << "[127.0.0.1]:4532" << "not an IPv6 address";
        QTest::newRow("host name") << "localhost:4532" << "not an IP address";
        QTest::newRow("shorthand IPv4") << "127.1:4532" << "not an IP address";
        QTest::newRow("octet too big") << "256.0.0.1:4532" << "not an IP address";
        QTest::newRow("leading zero, read as octal") << "10.0.0.010:4532" << "not an IP address";
        // Addresses that parse but cannot be listened on as written: the
        // message says what to write instead.
        QTest::newRow("IPv4 in IPv6 form") << "[::ffff:127.0.0.1]:4532"
                                           << "'::ffff:127.0.0.1' is an IPv4 address in IPv6 form: write 127.0.0.1";
        QTest::newRow("link-local without interface")
            << "[fe80::1]:4532" << "'fe80::1' is a link-local address without its interface: write fe80::1%eth0";
    }
    void malformedEndpointsAreRefused()
    {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        QString address = QStringLiteral("untouched");
        quint16 port = 99;
        QString error;
        QVERIFY(!ParseListenEndpoint(text, &address, &port, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(address, QStringLiteral("untouched"));
        QCOMPARE(port, quint16(99));

        const CommandLineOutcome outcome = parse({QStringLiteral("--listen"), text});
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY2(outcome.text.contains(reason), qPrintable(outcome.text));
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
