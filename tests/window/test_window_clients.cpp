// The window as one client of the radio among others: network clients on
// 127.0.0.1 share the line with it, against a simulator that carries bytes
// at 4800 baud both ways, as a UART does.

#include "loopback_client.h"
#include "window_rig.h"

#include <QSignalSpy>

namespace {

const QStringList kPacedLine{QStringLiteral("--baud"), QStringLiteral("4800")};

// The window on a paced line, sharing the radio on a loopback port.
struct SharedRig {
    WindowRig rig;
    std::unique_ptr<RigSharing> sharing;

    bool start(int holdSpeechMs = 0)
    {
        rig.player.holdMs = holdSpeechMs;
        if (!rig.sim.start(kPacedLine + QStringList{QStringLiteral("--smeter"), QStringLiteral("9")}))
            return false;
        // The port at the simulator's rate, so a command's line time is the real one.
        WriteStore({{QStringLiteral("Ports/COM2"), rig.sim.device()},
                    {QStringLiteral("Settings/CommSpeed"), QStringLiteral("4800,N,8,1")}});
        rig.load();
        if (!rig.waitForReading())
            return false;
        sharing = ShareOnLoopback(*rig.window);
        return sharing != nullptr;
    }
    quint16 port() const { return sharing->Server().serverPort(); }
    // Commands the simulator logged with this opcode.
    int logged(const QString& opcode) const
    {
        int n = 0;
        for (const QString& line : rig.sim.loggedCommands())
            n += line.endsWith(QLatin1Char(' ') + opcode) ? 1 : 0;
        return n;
    }
    int setsLogged() const { return logged(QStringLiteral("01")); }
    int pollsLogged() const { return logged(QStringLiteral("03")); }
};

// `n` frequency sets in one write, each to a different frequency.
QByteArray Flood(int n, int first = 0)
{
    QByteArray bytes;
    for (int i = first; i < first + n; ++i)
        bytes += "F " + QByteArray::number(14000000 + i * 10) + '\n';
    return bytes;
}

} // namespace

class TestWindowClients : public QObject {
    Q_OBJECT
private slots:
    void aFloodNeitherStarvesThePollNorIsAnsweredAhead()
    {
        SharedRig shared;
        QVERIFY(shared.start());
        Client flood(shared.port());
        Client reader(shared.port());
        constexpr int kSets = 150;
        QSignalSpy ticks(&shared.rig.window->Timer1(), &QTimer::timeout);
        const int pollsBefore = shared.pollsLogged();
        const int setsBefore = shared.setsLogged();

        // Each "RPRT 0" must stand for a set already on the line: the log is
        // read as it arrives (one may be a moment from being logged).
        int ahead = 0;
        flood.onLines = [&] {
            const int answered = flood.count(QStringLiteral("RPRT 0"));
            if (answered > shared.setsLogged() - setsBefore + 1)
                ++ahead;
        };
        flood.send(Flood(kSets));
        int readerAsked = 0;
        QTimer readerPoll;
        connect(&readerPoll, &QTimer::timeout, this, [&] {
            ++readerAsked;
            reader.send("f\n");
        });
        readerPoll.start(50);
        QVERIFY(RunUntil([&] { return flood.lines.size() >= kSets; }, 60000));
        readerPoll.stop();
        QTRY_VERIFY_WITH_TIMEOUT(reader.lines.size() >= readerAsked, 10000);

        QCOMPARE(flood.count(QStringLiteral("RPRT 0")), kSets);
        QCOMPARE(ahead, 0);
        QTRY_COMPARE(shared.setsLogged() - setsBefore, kSets);
        // Every tick made its round while the flood went on.
        QVERIFY2(shared.pollsLogged() - pollsBefore >= ticks.count() - 2,
                 qPrintable(QStringLiteral("%1 rounds for %2 ticks").arg(shared.pollsLogged() - pollsBefore).arg(ticks.count())));
        QVERIFY(ticks.count() > 10);
        // The other client was answered from fresh readings throughout.
        QVERIFY(reader.lines.filter(QStringLiteral("RPRT")).isEmpty());
        QCOMPARE(shared.rig.sim.loggedOverlaps(), 0);
        QVERIFY(shared.rig.shutDown());
    }

    void theWindowGoesBeforeQueuedClientSets()
    {
        SharedRig shared;
        QVERIFY(shared.start());
        std::vector<std::unique_ptr<Client>> clients;
        for (int c = 0; c < 4; ++c) {
            clients.push_back(std::make_unique<Client>(shared.port()));
            clients.back()->send(Flood(40, c * 100));
        }
        QStringList onTheLine;
        connect(&shared.rig.window->Link(), &RadioLink::exchangeFinished, this,
                [&](const QByteArray& command) { onTheLine << QString::fromLatin1(command.toHex(' ')).toUpper(); });
        // Every client has a set waiting: press the 40 m band.
        QTRY_VERIFY_WITH_TIMEOUT(onTheLine.filter(QStringLiteral(" 01")).size() >= 8, 10000);
        const bool lineBusy = shared.rig.window->Link().Busy();
        const qsizetype pressedAt = onTheLine.size();
        QTest::mouseClick(shared.rig.window->Command1[2], Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(onTheLine.size() >= pressedAt + 4, 10000);
        // What was on the line finishes first (a set, or a poll round's
        // reads); no client's set goes before the band and its mode.
        const QStringList next = onTheLine.mid(pressedAt, 4);
        const qsizetype band = next.indexOf(QStringLiteral("00 70 50 00 01"));
        QVERIFY2(band >= 0 && (band == 0 || lineBusy), qPrintable(next.join(QStringLiteral(", "))));
        for (qsizetype i = 1; i < band; ++i)
            QVERIFY2(!next[i].endsWith(QLatin1String(" 01")), qPrintable(next.join(QStringLiteral(", "))));
        QCOMPARE(next.value(band + 1), QStringLiteral("00 00 00 00 07")); // its mode, with nothing between
        QVERIFY(shared.rig.shutDown());
    }

    void exitAnswersQueuedSetsThenReleasesTheRadio()
    {
        SharedRig shared;
        QVERIFY(shared.start());
        Client first(shared.port());
        Client second(shared.port());
        first.send(Flood(60));
        second.send(Flood(60, 1000));
        QTRY_VERIFY_WITH_TIMEOUT(first.count(QStringLiteral("RPRT 0")) >= 3 && second.count(QStringLiteral("RPRT 0")) >= 3,
                                 10000);
        QTest::mouseClick(shared.rig.window->cmdExit, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shared.rig.window->Unloaded(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(first.socket.state() == QAbstractSocket::UnconnectedState
                                     && second.socket.state() == QAbstractSocket::UnconnectedState,
                                 5000);
        // A set waiting for its turn was answered with an error, not left
        // hanging, and nothing after it; every "RPRT 0" is a set on the
        // line; the release is last.
        for (const Client* client : {&first, &second}) {
            QVERIFY(client->count(QStringLiteral("RPRT -6")) <= 1);
            QCOMPARE(client->count(QStringLiteral("RPRT 0")) + client->count(QStringLiteral("RPRT -6")),
                     int(client->lines.size()));
        }
        QVERIFY(first.count(QStringLiteral("RPRT -6")) + second.count(QStringLiteral("RPRT -6")) >= 1);
        QTRY_COMPARE(shared.rig.sim.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));
        QCOMPARE(first.count(QStringLiteral("RPRT 0")) + second.count(QStringLiteral("RPRT 0")), shared.setsLogged());
    }

    void clientsKeepThePollGoingWhileTheWindowHolds_data()
    {
        QTest::addColumn<QString>("hold");
        QTest::newRow("settings dialog open") << "settings";
        QTest::newRow("speaking") << "speak";
    }
    void clientsKeepThePollGoingWhileTheWindowHolds()
    {
        QFETCH(QString, hold);
        SharedRig shared;
        QVERIFY(shared.start(hold == QLatin1String("speak") ? 3000 : 0));
        MainWindow& window = *shared.rig.window;
        Client client(shared.port());
        QTRY_COMPARE(shared.sharing->Server().clientCount(), 1);
        if (hold == QLatin1String("settings")) {
            QTest::mouseClick(window.cmdSettings, Qt::LeftButton);
            QVERIFY(waitForDialog(window));
        } else {
            QTest::mouseClick(window.cmdSpeak, Qt::LeftButton);
            QVERIFY(window.Speaking());
        }
        // The radio is retuned by hand: the client follows, the window's
        // display stays as it was until the hold ends.
        QVERIFY(shared.rig.sim.send(QStringLiteral("freq 705000")));
        QVERIFY(window.Timer1().isActive());
        QVERIFY(shared.rig.waitForPolls(5));
        client.send("f\n");
        QTRY_COMPARE(client.lines, QStringList{QStringLiteral("7050000")});
        QCOMPARE(window.txtFreq->text(), QStringLiteral("14.200.00"));

        // The client leaves: with nobody else reading, the hold stops the poll.
        client.socket.disconnectFromHost();
        QTRY_VERIFY(!window.Timer1().isActive());
        if (hold == QLatin1String("settings"))
            QTest::mouseClick(window.Form2()->cmdCancel, Qt::LeftButton);
        else
            QTest::keyClick(&window, Qt::Key_Escape);
        QTRY_COMPARE(window.txtFreq->text(), QStringLiteral("7.050.00"));
        QVERIFY(shared.rig.shutDown());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowClients test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_clients.moc"
