// Programs sharing the radio through the server, as scripts of requests
// and the replies they must get, against the simulator at 4800 baud: each
// client's set gets its turn whatever the radio does, one program at a
// time holds the transmitter and nothing retunes it, one that goes is
// unkeyed at once, and satellite mode moves the sets to its two VFOs, as
// gpredict's Doppler tracking drives it.

#include "line_client.h"
#include "radio_station.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>

#include <fcntl.h>
#include <sys/socket.h>

#include <map>

namespace {

const QString kUnkey = QStringLiteral("88");

// The commands a script put on the line: the log without the poll's reads
// and the receive that follows taking control.
QStringList Sent(const RadioStation& station)
{
    QStringList out = station.opcodes().filter(QRegularExpression(QStringLiteral("^(?!03$|13$|23$|E7$|F7$)")));
    out.removeFirst(); // 00
    out.removeFirst(); // 88
    return out;
}

// Runs one script. Steps, separated by " | ":
//   "A: REQUEST => REPLY"  A sends and waits for the reply lines (";" between lines)
//   "A> REQUEST"           A sends without waiting
//   "A,B< R1,R2"           one line each from A and B, in either order
//   "A closes"             A's connection ends
//   "A stops sending"      A closes its sending side; it still reads
//   "A< R1;R2"             A's next reply lines
//   "wait OP N"            until the log holds N commands with opcode OP
QString Run(RadioStation& station, const QString& script, int replyMs)
{
    std::map<QString, std::unique_ptr<LineClient>> clients;
    auto client = [&](const QString& name) -> LineClient& {
        auto& c = clients[name];
        if (!c)
            c = std::make_unique<LineClient>(station.serverPort());
        return *c;
    };
    std::map<QString, int> read; // lines taken from each client so far
    auto take = [&](const QString& name, int n) {
        LineClient& c = client(name);
        if (!c.waitForLines(read[name] + n, replyMs))
            return QStringLiteral("<no reply>");
        const QString lines = c.lines.mid(read[name], n).join(QLatin1Char(';'));
        read[name] += n;
        return lines;
    };
    for (const QString& step : script.split(QStringLiteral(" | "))) {
        QRegularExpressionMatch m;
        if ((m = QRegularExpression(QStringLiteral("^(\\w): (.*) => (.*)$")).match(step)).hasMatch()) {
            client(m.captured(1)).send(m.captured(2).toLatin1() + '\n');
            const QString got = take(m.captured(1), int(m.captured(3).count(QLatin1Char(';'))) + 1);
            if (got != m.captured(3))
                return step + QStringLiteral(": got ") + got;
        } else if ((m = QRegularExpression(QStringLiteral("^(\\w)> (.*)$")).match(step)).hasMatch()) {
            client(m.captured(1)).send(m.captured(2).toLatin1() + '\n');
        } else if ((m = QRegularExpression(QStringLiteral("^(\\w),(\\w)< (.*)$")).match(step)).hasMatch()) {
            QStringList got{take(m.captured(1), 1), take(m.captured(2), 1)};
            QStringList want = m.captured(3).split(QLatin1Char(','));
            got.sort();
            want.sort();
            if (got != want)
                return step + QStringLiteral(": got ") + got.join(QLatin1Char(','));
        } else if ((m = QRegularExpression(QStringLiteral("^(\\w) closes$")).match(step)).hasMatch()) {
            client(m.captured(1)).socket.disconnectFromHost();
        } else if ((m = QRegularExpression(QStringLiteral("^(\\w) stops sending$")).match(step)).hasMatch()) {
            LineClient& c = client(m.captured(1));
            c.socket.flush();
            ::shutdown(int(c.socket.socketDescriptor()), SHUT_WR);
        } else if ((m = QRegularExpression(QStringLiteral("^(\\w)< (.*)$")).match(step)).hasMatch()) {
            const QString got = take(m.captured(1), int(m.captured(2).count(QLatin1Char(';'))) + 1);
            if (got != m.captured(2))
                return step + QStringLiteral(": got ") + got;
        } else if ((m = QRegularExpression(QStringLiteral("^wait (\\w\\w) (\\d+)$")).match(step)).hasMatch()) {
            if (!RunUntil([&] { return station.logged(m.captured(1)) >= m.captured(2).toInt(); }, 5000))
                return step + QStringLiteral(": only ") + QString::number(station.logged(m.captured(1)));
        } else {
            return step + QStringLiteral(": not a step");
        }
    }
    return {};
}

} // namespace

class TestSharingScripts : public QObject {
    Q_OBJECT
private slots:
    void scripts_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("replyMs"); // each reply within this
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("sent"); // opcodes the script put on the line
        const QStringList late{"--delay-ms", "60"};
        const QString threeSets = QStringLiteral("wait 03 2 | A: F 14074000 => RPRT 0 | A: F 14075000 => RPRT 0 | "
                                                 "A: F 14076000 => RPRT 0");
        // A set goes between two reads: answered on the line within 2 s
        // even when each read waits out its time-out.
        QTest::newRow("set, replies 60 ms late") << late << 2000 << threeSets << "01 01 01";
        QTest::newRow("set, radio silent") << QStringList{"--silent"} << 2000 << threeSets << "01 01 01";
        QTest::newRow("set, satellite mode, late") << late << 2000
            << "A: S 1 Sub => RPRT 0 | wait 13 2 | A: F 435910000 => RPRT 0 | A: I 145890000 => RPRT 0" << "4E 11 21";
        QTest::newRow("read, radio silent") << QStringList{"--silent"} << 2500 << "A: f => RPRT -5" << "";
        // One holder; its time runs on through a repeated key; nothing
        // retunes the transmitter or switches satellite mode meanwhile.
        QTest::newRow("one holder") << QStringList{} << 5000
            << "A: T 1 => RPRT 0 | B: T 3 => RPRT -9 | B: T 0 => RPRT 0 | B: t => 1 | B: F 7074000 => RPRT -9 | "
               "A: M CW 500 => RPRT -9 | A: S 1 Sub => RPRT -9 | A: T 1 => RPRT 0 | wait F7 2 | A: T 0 => RPRT 0 | "
               "B: T 2 => RPRT 0 | B: T 0 => RPRT 0"
            << "08 88 08 88";
        // Decided at the turn: of two keys queued together one holds, and a
        // set queued before the key but reaching its turn after it is refused.
        QTest::newRow("keys queued together") << late << 5000
            << "A> T 1 | B> T 1 | C> F 7074000 | A,B< RPRT 0,RPRT -9 | C: t => RPRT -9;1" << "08";
        QTest::newRow("holder closes") << QStringList{} << 5000
            << "A: T 1 => RPRT 0 | A closes | wait 88 2 | B: t => 0 | B: T 1 => RPRT 0 | B: T 0 => RPRT 0"
            << "08 88 08 88";
        // A key read just before the sender closed its sending side never goes out.
        QTest::newRow("a key behind a set, then the sending side closed") << late << 5000
            << "A> F 14074000 | A> T 1 | A stops sending | A< RPRT 0;RPRT -6" << "01";
        // Doppler sets go on while keyed in satellite mode.
        QTest::newRow("Doppler while keyed") << QStringList{} << 5000
            << "A: S 1 Sub => RPRT 0 | A: T 1 => RPRT 0 | A: F  435905000 => RPRT 0 | A: I 145895000 => RPRT 0 | "
               "A: S 0 VFOA => RPRT -9 | A: T 0 => RPRT 0"
            << "4E 08 11 21 88";
        // A switch drops the other mode's readings: reads wait for the new ones.
        QTest::newRow("in and out of satellite mode") << QStringList{} << 5000
            << "A: S 1 Sub => RPRT 0 | A: f => 435900000 | A: i => 145900000 | A: s => 1;Sub | "
               "A: S 0 VFOA => RPRT 0 | A: f => 14200000 | A: i => 14200000 | A: s => 0;VFOA"
            << "4E 8E";
    }
    void scripts()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(int, replyMs);
        QFETCH(QString, script);
        QFETCH(QString, sent);
        RadioStation station;
        QVERIFY(station.start(simArgs));
        const QString failed = Run(station, script, replyMs);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        // Logged once the simulator has framed it, a moment after its line time.
        QTRY_COMPARE(Sent(station).join(QLatin1Char(' ')), sent);
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

    // A program that closes its sending side can still read the replies it
    // is owed, but never send the unkey: it is unkeyed at once, not when
    // its connection finally goes once its last reply is out (here a read
    // that waits for a fresh reading from a radio fallen silent).
    void aHolderThatStopsSendingIsUnkeyedAtOnce()
    {
        RadioStation station;
        QVERIFY(station.start());
        QVERIFY(RunUntil([&] { return station.radio->HaveFrequency(); }, 5000));
        const int holder = ConnectedDescriptor(station.serverPort());
        QVERIFY(holder >= 0);
        ::fcntl(holder, F_SETFL, O_NONBLOCK); // the server runs in this thread
        QByteArray replies;
        bool ended = false;
        auto receive = [&] {
            char buffer[256];
            ssize_t n;
            while ((n = ::recv(holder, buffer, sizeof buffer, 0)) > 0)
                replies.append(buffer, int(n));
            ended = ended || n == 0;
        };
        QCOMPARE(::send(holder, "T 1\n", 4, MSG_NOSIGNAL), ssize_t(4));
        QVERIFY(RunUntil([&] { receive(); return replies == "RPRT 0\n"; }, 5000));
        QVERIFY(station.sim.send(QStringLiteral("silent on")));
        QVERIFY(RunUntil([&] { return station.radio->ReadingAgeMs() > 1100; }, 5000));
        QCOMPARE(::send(holder, "f\n", 2, MSG_NOSIGNAL), ssize_t(2));
        ::shutdown(holder, SHUT_WR);
        QVERIFY(RunUntil([&] { receive(); return ended || station.logged(kUnkey) == 2; }, 5000));
        QVERIFY2(!ended, "unkeyed only once the connection had gone");
        QVERIFY(RunUntil([&] { receive(); return ended; }, 5000));
        QCOMPARE(replies, QByteArray("RPRT 0\nRPRT -5\n")); // the reply it was owed
        ::close(holder);
    }

    // The system refusing to hand over connections (out of descriptors) is
    // said, but not at each of the server's tries.
    void acceptTroubleIsSaidOnceAMinute()
    {
        RadioStation station;
        QVERIFY(station.start());
        QSignalSpy said(station.sharing.get(), &RigSharing::connectionRefused);
        for (int i = 0; i < 3; ++i)
            emit station.sharing->Server().acceptFailed(QAbstractSocket::SocketResourceError);
        QCOMPARE(said.size(), 1);
        QVERIFY(said.first().first().toString().contains(QStringLiteral("out of file descriptors; trying again")));
    }

    // OK in Settings reopens the port: the transmitter keyed through the
    // old one is unkeyed there before it closes, and the new port opens
    // once receive has left. The radio cannot be asked its mode: the same
    // port reopened kept satellite mode, another one is assumed out of it.
    void reopeningThePort()
    {
        RadioStation station;
        QVERIFY(station.start());
        QVERIFY(Run(station, QStringLiteral("A: S 1 Sub => RPRT 0 | A: T 1 => RPRT 0 | wait 08 1"), 5000).isEmpty());
        QList<bool> opened;
        QVERIFY(!station.radio->OpenPort(2, QStringLiteral("4800,N,8,1"), false, [&](bool open) { opened << open; }));
        QTRY_COMPARE(opened, QList<bool>{true});
        QVERIFY(!station.radio->Transmitting());
        QCOMPARE(station.sim.loggedStates().last(), QStringLiteral("transmit off"));
        QVERIFY(station.radio->Satellite());
        station.radio->OpenPort(3, QStringLiteral("4800,N,8,1"), false, [&](bool open) { opened << open; });
        QTRY_COMPARE(opened, (QList<bool>{true, true}));
        QVERIFY(!station.radio->Satellite());
    }

    // gpredict's duplex cycle every 100 ms while another program reads:
    // no errors, each read-back the value just set, every set on the line
    // in order to its VFO, and the poll reading both VFOs, never the main
    // one, at its cadence throughout.
    void dopplerCycleEvery100Ms()
    {
        RadioStation station;
        QVERIFY(station.start());
        QVERIFY(Run(station, QStringLiteral("G: S 1 Sub => RPRT 0"), 5000).isEmpty());
        LineClient logger(station.serverPort());
        QSignalSpy ticks(&station.radio->PollTimer(), &QTimer::timeout);
        const int roundsBefore = station.logged(QStringLiteral("23"));
        QStringList expected;
        QElapsedTimer clock;
        clock.start();
        for (int c = 0; c < 30; ++c) {
            // Printed with %10.0f: a nine-digit frequency after two spaces.
            const int was = qMax(c - 1, 0) * 10, shift = c * 10;
            const QString failed = Run(station, QStringLiteral("G: f => %1 | G: F  %2 => RPRT 0 | G: f => %2 | "
                                                               "G: i => %3 | G: I  %4 => RPRT 0 | G: i => %4")
                                                    .arg(435900000 - was).arg(435900000 - shift)
                                                    .arg(145900000 + was).arg(145900000 + shift), 5000);
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
            logger.send("f\n");
            expected << QStringLiteral("11 %1").arg((435900000 - shift) / 10)
                     << QStringLiteral("21 %1").arg((145900000 + shift) / 10);
            RunUntil([&] { return false; }, int(qMax<qint64>(0, (c + 1) * 100 - clock.elapsed())));
        }
        QVERIFY(logger.waitForLines(30, 5000));
        QVERIFY(logger.lines.filter(QStringLiteral("RPRT")).isEmpty());
        QStringList sets;
        for (const QString& line : station.sim.loggedCommands())
            if (line.endsWith(QLatin1String(" 11")) || line.endsWith(QLatin1String(" 21")))
                sets << line.right(2) + QLatin1Char(' ') + line.left(11).remove(QLatin1Char(' '));
        QCOMPARE(sets, expected);
        const int rounds = station.logged(QStringLiteral("23")) - roundsBefore;
        QVERIFY2(rounds >= ticks.count() - 2, qPrintable(QStringLiteral("%1 rounds for %2 ticks").arg(rounds).arg(ticks.count())));
        QVERIFY(!station.opcodes().mid(station.opcodes().indexOf(QStringLiteral("4E"))).contains(QStringLiteral("03")));
    }
};

QTEST_GUILESS_MAIN(TestSharingScripts)
#include "test_sharing_scripts.moc"
