// Sharing from the real window: where the server listens, who may connect,
// what the title shows and why listening failed, and that Exit closes every
// connection before handing the radio back.

#include "listen_address.h"
#include "listen_plan.h"
#include "rig_sharing.h"
#include "transceiver.h"
#include "window_rig.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

Q_DECLARE_METATYPE(NetworkChoice)

class TestWindowSharing : public QObject {
    Q_OBJECT
private slots:
    void whereItListens_data()
    {
        QTest::addColumn<NetworkChoice>("stored");
        QTest::addColumn<bool>("noListen");
        QTest::addColumn<QString>("listenAddress");
        QTest::addColumn<int>("listenPort");
        // "address:port", "off", or "problem <the setting it names>"
        QTest::addColumn<QString>("expected");
        const NetworkChoice defaults;
        NetworkChoice off;
        off.Listen = false;
        const auto at = [](const char* address, int port = kDefaultListenPort) {
            NetworkChoice choice;
            choice.Address = QString::fromLatin1(address);
            choice.Port = port;
            return choice;
        };
        const auto allowing = [](const char* allow, const char* address = "0.0.0.0") {
            NetworkChoice choice;
            choice.Address = QString::fromLatin1(address);
            choice.Allow = QString::fromLatin1(allow);
            return choice;
        };
        QTest::newRow("defaults: loopback, 4532") << defaults << false << QString() << 0 << "127.0.0.1:4532";
        QTest::newRow("written address is used") << at("192.0.2.7", 4533) << false << QString() << 0 << "192.0.2.7:4533";
        QTest::newRow("every IPv4 network") << at("0.0.0.0") << false << QString() << 0 << "0.0.0.0:4532";
        QTest::newRow("every IPv6 network") << at("::") << false << QString() << 0 << ":::4532";
        QTest::newRow("IPv6 loopback") << at("::1") << false << QString() << 0 << "::1:4532";
        QTest::newRow("Listen=false") << off << false << QString() << 0 << "off";
        QTest::newRow("--no-listen wins") << defaults << true << "127.0.0.1" << 5000 << "off";
        QTest::newRow("--listen over Listen=false") << off << false << "::1" << 5000 << "::1:5000";
        QTest::newRow("--listen keeps Allow") << allowing("192.168.1.0/24") << false << "192.168.1.2" << 5000
                                              << "192.168.1.2:5000";
        QTest::newRow("host name and port") << at("localhost:4532") << false << QString() << 0
                                            << "problem [Network] Address=localhost:4532";
        QTest::newRow("host name") << at("localhost") << false << QString() << 0 << "problem [Network] Address";
        QTest::newRow("a bare number") << at("0") << false << QString() << 0 << "problem [Network] Address";
        QTest::newRow("shorthand IPv4") << at("127.1") << false << QString() << 0 << "problem [Network] Address";
        QTest::newRow("octal-looking IPv4") << at("10.0.0.010") << false << QString() << 0 << "problem [Network] Address";
        QTest::newRow("IPv6 in brackets") << at("[::1]") << false << QString() << 0 << "problem [Network] Address";
        QTest::newRow("a port that is not one") << at("127.0.0.1", -1) << false << QString() << 0
                                                << "problem [Network] Port";
        QTest::newRow("Allow list") << allowing("192.168.1.0/24, fd00::/8 10.0.0.7") << false << QString() << 0
                                    << "0.0.0.0:4532";
        QTest::newRow("Allow empty") << allowing("") << false << QString() << 0 << "0.0.0.0:4532";
        for (const char* entry : {"192.168.1.0/33", "fd00::/129", "192.168.1", "192.168.1.0/", "/24",
                                  "192.168.1.0/x", "192.168.1.0/-1", "host.lan", "10.0.0.010"}) {
            QTest::newRow(qPrintable(QStringLiteral("Allow %1").arg(entry)))
                << allowing(qPrintable(QStringLiteral("10.0.0.0/8, %1").arg(entry))) << false << QString() << 0
                << QStringLiteral("problem [Network] Allow: '%1'").arg(entry);
        }
        QTest::newRow("bad Allow with a loopback address")
            << allowing("10.0.0.0/8;", "127.0.0.1") << false << QString() << 0 << "problem [Network] Allow";
        QTest::newRow("bad Allow over --listen")
            << allowing("nobody") << false << "127.0.0.1" << 5000 << "problem [Network] Allow";
    }
    void whereItListens()
    {
        QFETCH(NetworkChoice, stored);
        QFETCH(bool, noListen);
        QFETCH(QString, listenAddress);
        QFETCH(int, listenPort);
        QFETCH(QString, expected);
        const ListenPlan plan =
            PlanListening(stored, noListen, listenAddress.isEmpty() ? std::nullopt : std::optional(listenAddress),
                          listenAddress.isEmpty() ? std::nullopt : std::optional(quint16(listenPort)));
        if (expected == QLatin1String("off")) {
            QVERIFY(!plan.listen);
            QVERIFY(plan.problem.isEmpty());
        } else if (expected.startsWith(QLatin1String("problem "))) {
            QVERIFY(!plan.listen);
            QVERIFY2(plan.problem.startsWith(expected.mid(8)), qPrintable(plan.problem));
            QVERIFY2(plan.problem.endsWith(QLatin1String("the sharing server is off.")), qPrintable(plan.problem));
        } else {
            QVERIFY2(plan.listen, qPrintable(plan.problem));
            QCOMPARE(QStringLiteral("%1:%2").arg(plan.address.toString()).arg(plan.port), expected);
            // Only a server other computers can reach comes with a warning,
            // naming where it listens.
            const QString warning = plan.ExposureWarning();
            QCOMPARE(warning.isEmpty(), plan.Loopback());
            QCOMPARE(plan.Loopback(), plan.address.isLoopback());
            if (!warning.isEmpty())
                QVERIFY2(warning.contains(EndpointText(plan.address, plan.port)), qPrintable(warning));
        }
    }

    // Source address against [Network] Allow ("-" for no Allow key).
    void whoMayConnect_data()
    {
        QTest::addColumn<QString>("allow");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("allowed");
        const auto row = [](const char* allow, const char* source, bool allowed) {
            QTest::newRow(qPrintable(QStringLiteral("%1 from %2").arg(allow, source)))
                << QString::fromLatin1(allow) << QString::fromLatin1(source) << allowed;
        };
        row("-", "127.0.0.1", true);
        row("-", "127.3.4.5", true);
        row("-", "::1", true);
        row("-", "::ffff:127.0.0.1", true);
        row("-", "10.1.2.3", true);
        row("-", "172.16.0.1", true);
        row("-", "172.31.255.255", true);
        row("-", "172.32.0.1", false);
        row("-", "192.168.1.5", true);
        row("-", "192.169.0.1", false);
        row("-", "169.254.10.20", true);
        row("-", "fd12:3456::1", true);
        row("-", "fe80::1%lo", true);
        row("-", "fec0::1", false);
        row("-", "::ffff:192.168.1.5", true);
        row("-", "::ffff:203.0.113.5", false);
        row("-", "::192.168.1.5", false); // IPv4-compatible, not mapped
        row("-", "203.0.113.5", false);
        row("-", "8.8.8.8", false);
        row("-", "2001:db8::1", false);
        row("192.168.1.0/24, fd00::/8", "192.168.1.77", true);
        row("192.168.1.0/24, fd00::/8", "::ffff:192.168.1.77", true);
        row("192.168.1.0/24, fd00::/8", "192.168.2.1", false);
        row("192.168.1.0/24, fd00::/8", "10.0.0.1", false);
        row("192.168.1.0/24, fd00::/8", "fd00::5", true);
        row("192.168.1.0/24, fd00::/8", "fc00::5", false);
        row("192.168.1.0/24, fd00::/8", "127.0.0.1", true);
        row("192.168.1.0/24, fd00::/8", "::1", true);
        row("203.0.113.5", "203.0.113.5", true);
        row("203.0.113.5", "203.0.113.6", false);
        row("203.0.113.5", "192.168.1.5", false);
        row("2001:db8::/32", "2001:db8:1::1", true);
        row("", "192.168.1.5", false);
        row("", "127.0.0.1", true);
    }
    void whoMayConnect()
    {
        QFETCH(QString, allow);
        QFETCH(QString, source);
        QFETCH(bool, allowed);
        NetworkChoice stored;
        stored.Address = QStringLiteral("::");
        if (allow != QLatin1String("-"))
            stored.Allow = allow;
        const ListenPlan plan = PlanListening(stored, false, std::nullopt, std::nullopt);
        QVERIFY2(plan.listen, qPrintable(plan.problem));
        QCOMPARE(MayConnect(QHostAddress(source), plan.allowed), allowed);
    }

    // QSettings reads a list with commas as several values; it comes back whole.
    void allowIsReadFromTheFile()
    {
        QFile file(ConfigFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Network]\nAddress=0.0.0.0\nAllow=192.168.1.0/24, fd00::/8 ,10.0.0.7\n");
        file.close();
        QtSettingsStore store;
        const NetworkChoice stored = store.LoadNetwork();
        const ListenPlan plan = PlanListening(stored, false, std::nullopt, std::nullopt);
        QVERIFY2(plan.listen, qPrintable(plan.problem));
        QCOMPARE(AllowListText(plan.allowed), QStringLiteral("192.168.1.0/24, fd00::/8, 10.0.0.7/32"));
        QVERIFY(plan.ExposureWarning().contains(QStringLiteral("[Network] Allow (192.168.1.0/24, fd00::/8")));
        QVERIFY(file.remove());
        QCOMPARE(QtSettingsStore().LoadNetwork().Allow, std::nullopt);
    }

    void statusNamesWhereAndHowOpen_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("programs");
        QTest::addColumn<QString>("status");
        QTest::newRow("IPv4 loopback") << "127.0.0.1" << 1 << "sharing on 127.0.0.1:4532, 1 program";
        QTest::newRow("IPv6 loopback") << "::1" << 2 << "sharing on [::1]:4532, 2 programs";
        QTest::newRow("every IPv4 network") << "0.0.0.0" << 2 << "sharing on 0.0.0.0:4532 (open to the network), 2 programs";
        QTest::newRow("every IPv6 network") << "::" << 0 << "sharing on [::]:4532 (open to the network), 0 programs";
        QTest::newRow("a LAN address") << "192.168.1.20" << 1 << "sharing on 192.168.1.20:4532 (open to the network), 1 program";
    }
    void statusNamesWhereAndHowOpen()
    {
        QFETCH(QString, address);
        QFETCH(int, programs);
        QFETCH(QString, status);
        QCOMPARE(SharingStatus(QHostAddress(address), 4532, programs), status);
    }

    // Listening fails for the reason named, with the setting to change.
    // Only loopback ports are bound; 192.0.2.1 (TEST-NET) is on no machine,
    // so binding it fails here and nothing is sent.
    void listenProblemNamesTheCause_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("portTaken");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("mayBeDaemon");
        QTest::newRow("port in use") << "127.0.0.1" << true << "the port is in use"
                                     << "choose another port with [Network] Port" << true;
        QTest::newRow("IPv6 port in use") << "::1" << true << "the port is in use"
                                          << "choose another port with [Network] Port" << true;
        QTest::newRow("not on this machine") << "192.0.2.1" << false << "192.0.2.1 is not an address of this computer"
                                             << "choose one of its addresses with [Network] Address" << false;
    }
    void listenProblemNamesTheCause()
    {
        QFETCH(QString, address);
        QFETCH(bool, portTaken);
        QFETCH(QString, cause);
        QFETCH(QString, change);
        QFETCH(bool, mayBeDaemon);
        QTcpServer holder;
        NetworkChoice stored;
        stored.Address = address;
        if (portTaken) {
            QVERIFY(holder.listen(QHostAddress(address), 0));
            stored.Port = holder.serverPort();
        }
        const ListenPlan plan = PlanListening(stored, false, std::nullopt, std::nullopt);
        QVERIFY(plan.listen);

        WindowRig rig;
        Transceiver radio(rig.port, rig.messages, [](int) { return QString(); });
        RigSharing sharing(radio);
        QVERIFY(!sharing.Start(plan));
        const QString problem = sharing.Problem();
        QVERIFY2(problem.startsWith(QStringLiteral("Solvane cannot share the radio on %1: %2")
                                        .arg(EndpointText(plan.address, plan.port), cause)),
                 qPrintable(problem));
        QVERIFY2(problem.contains(change), qPrintable(problem));
        QCOMPARE(problem.contains(QLatin1String("another rig-control daemon")), mayBeDaemon);
        QCOMPARE(sharing.Status(), QString());
    }

    void exitClosesTheConnectionsThenReleasesTheRadio()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        RigSharing sharing(rig.window->Radio());
        connect(&sharing, &RigSharing::statusChanged, rig.window.get(), &MainWindow::ShowSharing);
        connect(rig.window.get(), &MainWindow::unloadStarted, &sharing, &RigSharing::Stop);
        ListenPlan plan;
        plan.listen = true;
        plan.address = QHostAddress::LocalHost;
        QVERIFY(sharing.Start(plan));

        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, sharing.Server().serverPort());
        QVERIFY(client.waitForConnected(5000));
        client.write("f\n");
        QTRY_VERIFY(client.canReadLine());
        QCOMPARE(client.readLine(), QByteArray("14200000\n"));
        QTRY_VERIFY(rig.window->windowTitle().contains(QStringLiteral("1 program]")));

        QSignalSpy gone(&client, &QTcpSocket::disconnected);
        QTest::mouseClick(rig.window->cmdExit, Qt::LeftButton);
        QVERIFY(!sharing.Server().isListening()); // closed as Exit was pressed
        QVERIFY(gone.count() == 1 || gone.wait(5000));
        QTRY_VERIFY(rig.window->Unloaded());
        QTRY_COMPARE(rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowSharing test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_sharing.moc"
