// Keying through the sharing server, against the simulator at 4800 baud:
// one holder at a time, decided at each request's turn on the line; nothing
// retunes a transmitter outside satellite mode; a holder that goes is
// unkeyed at once; the status names who transmits.

#include "line_client.h"
#include "radio_station.h"

#include <fcntl.h>
#include <sys/socket.h>

namespace {

const QString kKey = QStringLiteral("08");
const QString kUnkey = QStringLiteral("88");

} // namespace

class TestSharingTransmit : public QObject {
    Q_OBJECT
private slots:
    void oneHolderAtATime()
    {
        RadioStation station;
        QVERIFY(station.start());
        LineClient wsjtx(station.serverPort());
        LineClient fldigi(station.serverPort());
        QCOMPARE(wsjtx.ask("T 1\n"), QStringLiteral("RPRT 0"));
        QTRY_COMPARE(station.logged(kKey), 1);
        QVERIFY(station.sharing->Status().endsWith(
            QStringLiteral("%1 transmitting").arg(wsjtx.socket.localPort())));
        // Another program's key is refused; its unkey releases nothing.
        QCOMPARE(fldigi.ask("T 3\n"), QStringLiteral("RPRT -9"));
        QCOMPARE(fldigi.ask("T 0\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(fldigi.ask("t\n"), QStringLiteral("1"));
        // Nobody retunes the transmitter, not even its holder.
        QCOMPARE(fldigi.ask("F 7074000\n"), QStringLiteral("RPRT -9"));
        QCOMPARE(wsjtx.ask("M CW 500\n"), QStringLiteral("RPRT -9"));
        QCOMPARE(wsjtx.ask("S 1 Sub\n"), QStringLiteral("RPRT -9"));
        // The holder's repeated key needs nothing on the line.
        QCOMPARE(wsjtx.ask("T 1\n"), QStringLiteral("RPRT 0"));
        // The meter is the power out while keyed.
        QVERIFY(QTest::qWaitFor([&] { return station.logged(QStringLiteral("F7")) >= 2; }, 5000));
        QCOMPARE(wsjtx.ask("T 0\n"), QStringLiteral("RPRT 0"));
        QTRY_COMPARE(station.logged(kUnkey), 2); // one after taking control
        QCOMPARE(fldigi.ask("T 2\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(fldigi.ask("T 0\n"), QStringLiteral("RPRT 0"));
        QTRY_COMPARE(station.logged(kKey), 2);
        QCOMPARE(station.logged(QStringLiteral("01")) + station.logged(QStringLiteral("07"))
                     + station.logged(QStringLiteral("4E")),
                 0);
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

    // Two keys queued together: the first to reach its turn holds, the
    // other is refused at its own; and a set queued behind the key is
    // refused when its turn comes after it.
    void holdingIsDecidedAtTheTurn()
    {
        RadioStation station;
        QVERIFY(station.start({QStringLiteral("--delay-ms"), QStringLiteral("60")}));
        LineClient first(station.serverPort());
        LineClient second(station.serverPort());
        LineClient tuner(station.serverPort());
        QTRY_COMPARE(station.sharing->Server().clientCount(), 3);
        first.send("T 1\n");
        second.send("T 1\n");
        tuner.send("F 7074000\n");
        QVERIFY(first.waitForLines(1, 5000) && second.waitForLines(1, 5000) && tuner.waitForLines(1, 5000));
        QStringList keys{first.lines.first(), second.lines.first()};
        keys.sort();
        QCOMPARE(keys, (QStringList{QStringLiteral("RPRT -9"), QStringLiteral("RPRT 0")}));
        QCOMPARE(tuner.lines, QStringList{QStringLiteral("RPRT -9")});
        QTRY_COMPARE(station.logged(kKey), 1);
        QCOMPARE(station.logged(QStringLiteral("01")), 0);
    }

    void aHolderThatGoesIsUnkeyed_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("closes") << "close";
        QTest::newRow("resets") << "abort";
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
        QTRY_COMPARE(station.logged(kKey), 1);
        QVERIFY(station.sim.send(QStringLiteral("silent on")));
        QVERIFY(RunUntil([&] { return station.radio->ReadingAgeMs() > 1100; }, 5000));
        const int unkeysBefore = station.logged(kUnkey);
        QCOMPARE(::send(holder, "f\n", 2, MSG_NOSIGNAL), ssize_t(2));
        ::shutdown(holder, SHUT_WR);
        QVERIFY(RunUntil([&] { receive(); return ended || station.logged(kUnkey) > unkeysBefore; }, 5000));
        QVERIFY2(!ended, "unkeyed only once the connection had gone");
        QVERIFY(RunUntil([&] { receive(); return ended; }, 5000));
        QCOMPARE(replies, QByteArray("RPRT 0\nRPRT -5\n")); // the reply it was owed
        ::close(holder);
    }

    void aHolderThatGoesIsUnkeyed()
    {
        QFETCH(QString, how);
        RadioStation station;
        QVERIFY(station.start());
        auto holder = std::make_unique<LineClient>(station.serverPort());
        LineClient other(station.serverPort());
        QCOMPARE(holder->ask("T 1\n"), QStringLiteral("RPRT 0"));
        QTRY_COMPARE(station.logged(kKey), 1);
        const int unkeysBefore = station.logged(kUnkey);
        if (how == QLatin1String("close"))
            holder->socket.disconnectFromHost();
        else
            holder->socket.abort();
        QTRY_COMPARE(station.logged(kUnkey), unkeysBefore + 1);
        QVERIFY(!station.radio->Transmitting());
        QCOMPARE(other.ask("t\n"), QStringLiteral("0"));
        QCOMPARE(other.ask("T 1\n"), QStringLiteral("RPRT 0")); // free for the next
    }

    // In satellite mode the Doppler sets keep going while keyed: the
    // uplink follows the pass.
    void dopplerSetsGoOnWhileKeyedInSatelliteMode()
    {
        RadioStation station;
        QVERIFY(station.start());
        LineClient gpredict(station.serverPort());
        QCOMPARE(gpredict.ask("S 1 Sub\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(gpredict.ask("T 1\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(gpredict.ask("F  435905000\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(gpredict.ask("I 145895000\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(gpredict.ask("S 0 VFOA\n"), QStringLiteral("RPRT -9")); // would move the transmitter
        QCOMPARE(gpredict.ask("T 0\n"), QStringLiteral("RPRT 0"));
        QTRY_COMPARE(station.opcodes().mid(station.opcodes().indexOf(QStringLiteral("4E"))).filter(QRegularExpression("^(4E|08|11|21|88|8E)$")),
                     (QStringList{"4E", "08", "11", "21", "88"}));
    }

    // OK in Settings reopens the port: the transmitter keyed through the
    // old one is unkeyed there before it closes.
    void reopeningThePortUnkeysFirst()
    {
        RadioStation station;
        QVERIFY(station.start());
        LineClient holder(station.serverPort());
        QCOMPARE(holder.ask("T 1\n"), QStringLiteral("RPRT 0"));
        QTRY_COMPARE(station.logged(kKey), 1);
        const int unkeysBefore = station.logged(kUnkey);
        QVERIFY(station.radio->OpenPort(2, QStringLiteral("4800,N,8,1"), false));
        QVERIFY(!station.radio->Transmitting());
        QTRY_COMPARE(station.logged(kUnkey), unkeysBefore + 1);
        QCOMPARE(station.sim.loggedStates().last(), QStringLiteral("transmit off"));
    }
};

QTEST_GUILESS_MAIN(TestSharingTransmit)
#include "test_sharing_transmit.moc"
