// Sharing from the real window: where the server listens, what the title
// shows, and that Exit closes every connection before handing the radio back.

#include "listen_plan.h"
#include "rig_sharing.h"
#include "window_rig.h"

#include <QSignalSpy>
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
        QTest::addColumn<QString>("expected"); // "address:port", "off", or "problem"
        const NetworkChoice defaults;
        NetworkChoice off;
        off.Listen = false;
        NetworkChoice lan;
        lan.Address = QStringLiteral("192.0.2.7");
        lan.Port = 4533;
        NetworkChoice junk;
        junk.Address = QStringLiteral("localhost:4532");
        NetworkChoice badPort;
        badPort.Port = -1;
        QTest::newRow("defaults: loopback, 4532") << defaults << false << QString() << 0 << "127.0.0.1:4532";
        QTest::newRow("written address is used") << lan << false << QString() << 0 << "192.0.2.7:4533";
        QTest::newRow("Listen=false") << off << false << QString() << 0 << "off";
        QTest::newRow("--no-listen wins") << defaults << true << "127.0.0.1" << 5000 << "off";
        QTest::newRow("--listen over Listen=false") << off << false << "::1" << 5000 << "::1:5000";
        QTest::newRow("an address that is not one") << junk << false << QString() << 0 << "problem";
        QTest::newRow("a port that is not one") << badPort << false << QString() << 0 << "problem";
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
        } else if (expected == QLatin1String("problem")) {
            QVERIFY(!plan.listen);
            QVERIFY(plan.problem.contains(QStringLiteral("[Network]")));
        } else {
            QVERIFY(plan.listen);
            QCOMPARE(QStringLiteral("%1:%2").arg(plan.address.toString()).arg(plan.port), expected);
        }
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
