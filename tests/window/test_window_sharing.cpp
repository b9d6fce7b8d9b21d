// Sharing from the real window: where the server listens, who may connect,
// what the title shows and why listening failed, and that Exit closes every
// connection before handing the radio back.

#include "link_watch.h"
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
        const auto at = [](const char* address, int port = kDefaultListenPort, const char* allow = nullptr) {
            NetworkChoice choice;
            choice.Address = QString::fromLatin1(address);
            choice.Port = port;
            if (allow)
                choice.Allow = QString::fromLatin1(allow);
            return choice;
        };
        const NetworkChoice defaults;
        NetworkChoice off;
        off.Listen = false;
        QTest::newRow("defaults: loopback, 4532") << defaults << false << QString() << 0 << "127.0.0.1:4532";
        QTest::newRow("written address is used") << at("192.0.2.7", 4533) << false << QString() << 0 << "192.0.2.7:4533";
        QTest::newRow("every IPv4 network") << at("0.0.0.0") << false << QString() << 0 << "0.0.0.0:4532";
        QTest::newRow("Listen=false") << off << false << QString() << 0 << "off";
        QTest::newRow("--no-listen wins") << defaults << true << "127.0.0.1" << 5000 << "off";
        QTest::newRow("--listen over Listen=false") << off << false << "::1" << 5000 << "::1:5000";
        for (const char* address : {"localhost:4532", "0", "127.1"})
            QTest::newRow(address) << at(address) << false << QString() << 0 << "problem [Network] Address";
        // Addresses that parse but cannot be listened on: what to write instead.
        QTest::newRow("IPv4 in IPv6 form") << at("::ffff:192.168.1.5") << false << QString() << 0
                                           << "problem [Network] Address=::ffff:192.168.1.5 is an IPv4 address in "
                                              "IPv6 form: write 192.168.1.5; the sharing server is off.";
        QTest::newRow("link-local without interface")
            << at("fe80::1") << false << QString() << 0
            << "problem [Network] Address=fe80::1 is a link-local address without its interface: write fe80::1%eth0";
        QTest::newRow("link-local with interface") << at("fe80::1%eth0") << false << QString() << 0
                                                   << "fe80::1%eth0:4532";
        QTest::newRow("a port that is not one") << at("127.0.0.1", -1) << false << QString() << 0
                                                << "problem [Network] Port";
        QTest::newRow("Allow list") << at("::", 4532, "192.168.1.0/24, fd00::/8 10.0.0.7") << false << QString() << 0
                                    << ":::4532";
        for (const char* entry : {"192.168.1.0/33", "fd00::/129", "192.168.1", "host.lan"})
            QTest::newRow(entry) << at("0.0.0.0", 4532, qPrintable(QStringLiteral("10.0.0.0/8, %1").arg(entry)))
                                 << false << QString() << 0 << QStringLiteral("problem [Network] Allow: '%1'").arg(entry);
        QTest::newRow("bad Allow over --listen") << at("", 0, "nobody") << false << "127.0.0.1" << 5000
                                                 << "problem [Network] Allow";
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
        } else {
            QVERIFY2(plan.listen, qPrintable(plan.problem));
            QCOMPARE(QStringLiteral("%1:%2").arg(plan.address.toString()).arg(plan.port), expected);
            // Only a server other computers can reach warns, naming where.
            QCOMPARE(plan.ExposureWarning().isEmpty(), plan.address.isLoopback());
            QCOMPARE(plan.ExposureWarning().contains(EndpointText(plan.address, plan.port)), !plan.address.isLoopback());
        }
    }

    // Source address against [Network] Allow ("-" for no Allow key), and
    // whether its connection is watched for a dead link (all but this computer's).
    void whoMayConnect_data()
    {
        QTest::addColumn<QString>("allow");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<bool>("watched");
        const auto row = [](const char* allow, const char* source, bool allowed, bool watched = true) {
            QTest::newRow(qPrintable(QStringLiteral("%1 from %2").arg(allow, source)))
                << allow << source << allowed << watched;
        };
        row("-", "127.0.0.1", true, false);
        row("-", "::ffff:127.0.0.1", true, false);
        row("-", "::1", true, false);
        row("-", "127.0.0.2", true, false);
        row("-", "172.31.255.255", true);
        row("-", "172.32.0.1", false);
        row("-", "fe80::1%lo", true);
        row("-", "::ffff:192.168.1.5", true);
        row("-", "203.0.113.5", false);
        row("-", "2001:db8::1", false);
        row("192.168.1.0/24, fd00::/8", "192.168.1.77", true);
        row("192.168.1.0/24, fd00::/8", "192.168.2.1", false);
        row("192.168.1.0/24, fd00::/8", "fd00::5", true);
        row("203.0.113.5", "203.0.113.5", true);
        row("", "192.168.1.5", false);
    }
    void whoMayConnect()
    {
        QFETCH(QString, allow);
        QFETCH(QString, source);
        QFETCH(bool, allowed);
        QFETCH(bool, watched);
        QCOMPARE(WatchesLink(QHostAddress(source)), watched);
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
        file.write("[Network]\nAllow=192.168.1.0/24, fd00::/8 ,10.0.0.7\n");
        file.close();
        const ListenPlan plan = PlanListening(QtSettingsStore().LoadNetwork(), false, std::nullopt, std::nullopt);
        QCOMPARE(AllowListText(plan.allowed), QStringLiteral("192.168.1.0/24, fd00::/8, 10.0.0.7/32"));
        QVERIFY(file.remove());
        QCOMPARE(QtSettingsStore().LoadNetwork().Allow, std::nullopt);
    }

    void statusNamesWhereAndHowOpen()
    {
        QCOMPARE(SharingStatus(QHostAddress::LocalHost, 4532, 1), QStringLiteral("sharing on 127.0.0.1:4532, 1 program"));
        QCOMPARE(SharingStatus(QHostAddress::LocalHostIPv6, 4532, 2), QStringLiteral("sharing on [::1]:4532, 2 programs"));
        QCOMPARE(SharingStatus(QHostAddress::AnyIPv4, 4532, 0),
                 QStringLiteral("sharing on 0.0.0.0:4532 (open to the network), 0 programs"));
        // A server on "::" listens on both stacks, as QHostAddress::Any.
        QCOMPARE(SharingStatus(QHostAddress::Any, 4532, 3),
                 QStringLiteral("sharing on [::]:4532 (open to the network), 3 programs"));
    }

    // Listening fails for the cause named, with the setting to change. Only
    // a loopback port is bound; 192.0.2.1 (TEST-NET) is on no machine, so
    // binding it fails here and nothing is sent.
    void listenProblemNamesTheCause()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        NetworkChoice inUse;
        inUse.Port = holder.serverPort();
        NetworkChoice elsewhere;
        elsewhere.Address = QStringLiteral("192.0.2.1");
        WindowRig rig;
        Transceiver radio(rig.port, rig.messages, [](int) { return QString(); });
        RigSharing sharing(radio);

        QVERIFY(!sharing.Start(PlanListening(inUse, false, std::nullopt, std::nullopt)));
        QCOMPARE(sharing.Problem(),
                 QStringLiteral("Solvane cannot share the radio on 127.0.0.1:%1: the port is in use; another "
                                "rig-control daemon may hold it. Solvane runs on without sharing; choose another "
                                "port with [Network] Port.").arg(inUse.Port));
        QVERIFY(!sharing.Start(PlanListening(elsewhere, false, std::nullopt, std::nullopt)));
        QCOMPARE(sharing.Problem(),
                 QStringLiteral("Solvane cannot share the radio on 192.0.2.1:4532: 192.0.2.1 is not an address of "
                                "this computer. Solvane runs on without sharing; choose one of its addresses with "
                                "[Network] Address."));
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
