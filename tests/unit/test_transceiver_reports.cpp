// What the radio's owner reports back after a set, over a scripted port: the
// value set once it is on the line, and the reading when it never got there.
// Receive owed reaches the wire before the port closes, whatever closes it.

#include "fake_serial_port.h"
#include "loopback_line_client.h"
#include "transceiver.h"

#include <QTest>

namespace {

struct Rig {
    FakeSerialPort port;
    CountingMessages messages;
    Transceiver radio{port, messages, [](int) { return QStringLiteral("/dev/fake"); }};

    // A reading of 14.200.00 MHz USB in hand, the line idle.
    bool start()
    {
        if (!radio.OpenPort(2, QStringLiteral("57600,N,8,1"), false))
            return false;
        radio.PollNow();
        if (!QTest::qWaitFor([&] { return port.writtenHex().contains(QStringLiteral("00 00 00 00 03")); }, 2000))
            return false;
        port.receive(QByteArray::fromHex("0142000001"));
        // The first round's status is the transmitter's: on receive.
        if (!QTest::qWaitFor([&] { return port.writtenHex().contains(QStringLiteral("00 00 00 00 F7")); }, 2000))
            return false;
        port.receive(QByteArray::fromHex("80"));
        return QTest::qWaitFor([&] { return radio.HaveFrequency() && !radio.Busy(); }, 2000);
    }
};

} // namespace

class TestTransceiverReports : public QObject {
    Q_OBJECT
private slots:
    void aSetIsReadBackOnlyOnceOnTheLine_data()
    {
        QTest::addColumn<bool>("lineStuck");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("reported"); // 10 Hz units
        QTest::newRow("on the line") << false << int(radio::Outcome::Sent) << 707400;
        QTest::newRow("stuck, never sent") << true << int(radio::Outcome::NotSent) << 1420000;
    }
    void aSetIsReadBackOnlyOnceOnTheLine()
    {
        QFETCH(bool, lineStuck);
        QFETCH(int, outcome);
        QFETCH(int, reported);
        Rig rig;
        QVERIFY(rig.start());
        const Transceiver::ClientId client = rig.radio.OpenClient(QStringLiteral("127.0.0.1:5000"));
        rig.port.pendingWrite = lineStuck ? 5 : 0;
        QList<int> outcomes;
        rig.radio.Submit({radio::Request::Kind::SetFrequency, radio::Vfo::Current, 707400},
                         [&](radio::Outcome o) { outcomes << int(o); }, client);
        QTRY_COMPARE_WITH_TIMEOUT(outcomes, QList<int>{outcome}, 3000);
        QCOMPARE(rig.radio.ReportedFrequency(), reported);
    }

    // The holder goes while a reply is arriving: receive goes once the
    // reply is in, and neither the shutdown, another port nor a closed port
    // drops it. A port lost while keyed gets it first thing once open again.
    void owedReceiveReachesTheWireFirst_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("shutdown") << "shutdown";
        QTest::newRow("another port") << "open";
        QTest::newRow("port closed") << "close";
        QTest::newRow("port closed, the holder still on the air") << "close on the air";
        QTest::newRow("port lost, then opened") << "lost";
    }
    void owedReceiveReachesTheWireFirst()
    {
        QFETCH(QString, then);
        Rig rig;
        QVERIFY(rig.start());
        const Transceiver::ClientId holder = rig.radio.OpenClient(QStringLiteral("127.0.0.1:5000"));
        rig.radio.Submit({radio::Request::Kind::Key}, {}, holder);
        QTRY_VERIFY(rig.radio.Turn().tx == radio::Tx::OnAir);
        rig.radio.PollNow();
        QTRY_COMPARE(rig.port.writtenHex().last(), QStringLiteral("00 00 00 00 03"));
        rig.port.receive(QByteArray::fromHex("0142")); // a reply under way
        const QString unkey = QStringLiteral("00 00 00 00 88");
        if (then == QLatin1String("lost")) {
            rig.port.fail();
            QVERIFY(!rig.radio.PortOpen());
            QVERIFY(rig.radio.OpenPort(2, QStringLiteral("57600,N,8,1"), false));
            QTRY_COMPARE(rig.port.writtenHex().mid(rig.port.writesAtOpen), QStringList{unkey});
            return;
        }
        if (!then.endsWith(QLatin1String("on the air")))
            rig.radio.CloseClient(holder);
        bool shutDown = false;
        if (then == QLatin1String("shutdown"))
            rig.radio.ShutDown([&](bool) { shutDown = true; });
        else if (then == QLatin1String("open"))
            QVERIFY(!rig.radio.OpenPort(3, QStringLiteral("57600,N,8,1"), false));
        else
            rig.radio.ClosePort(); // as OK in Settings with a number that names no port
        QVERIFY(!rig.port.writtenHex().contains(unkey)); // not into the reply
        rig.port.receive(QByteArray::fromHex("000001"));
        QTRY_VERIFY(rig.port.writesAtClose >= 0);
        const QStringList written = rig.port.writtenHex();
        QVERIFY2(written.lastIndexOf(unkey) == written.lastIndexOf(QStringLiteral("00 00 00 00 03")) + 1,
                 qPrintable(written.join(QLatin1String(", "))));
        QCOMPARE(rig.port.writesAtClose, then == QLatin1String("shutdown") ? written.size() : written.indexOf(unkey) + 1);
        QCOMPARE(rig.radio.Turn().tx, radio::Tx::Receive);
        if (then == QLatin1String("shutdown")) {
            QCOMPARE(written.last(), QStringLiteral("00 00 00 00 80"));
            QTRY_VERIFY(shutDown);
        }
    }

    // Right after its own receive the radio may still report the key: that
    // report is no key at the radio, so nothing reads transmit after T 0.
    void itsOwnKeySettlingIsNoNewKey()
    {
        Rig rig;
        QVERIFY(rig.start());
        const Transceiver::ClientId holder = rig.radio.OpenClient(QStringLiteral("127.0.0.1:5000"));
        rig.radio.Submit({radio::Request::Kind::Key}, {}, holder);
        QTRY_VERIFY(rig.radio.Turn().tx == radio::Tx::OnAir);
        rig.radio.Submit({radio::Request::Kind::Unkey}, {}, holder);
        QTRY_VERIFY(rig.radio.Turn().tx == radio::Tx::Receive);
        const qsizetype before = rig.port.written.size();
        // The rounds right after it, answered at once (no sleeps between
        // events), until one reads the transmitter, which still says transmit.
        const auto last = [&] { return rig.port.writtenHex().last(); };
        for (int round = 0; round < 3 && !rig.port.writtenHex().mid(before).contains(QStringLiteral("00 00 00 00 F7"));
             ++round) {
            rig.radio.PollNow();
            QVERIFY(RunUntil([&] { return last().endsWith(QLatin1String(" 03")); }, 2000));
            rig.port.receive(QByteArray::fromHex("0142000001"));
            QVERIFY(RunUntil([&] { return last().endsWith(QLatin1String("7")); }, 2000));
            rig.port.receive(QByteArray::fromHex(last().endsWith(QLatin1String("F7")) ? "10" : "08"));
            QVERIFY(RunUntil([&] { return !rig.radio.Busy(); }, 2000));
        }
        QVERIFY(rig.port.writtenHex().mid(before).contains(QStringLiteral("00 00 00 00 F7")));
        QVERIFY(!rig.radio.Transmitting());
        QVERIFY(!rig.port.writtenHex().mid(before).contains(QStringLiteral("00 00 00 00 88")));
    }

    // The hint: once 10 s of reads have gone out since the port opened
    // with not one byte back, once per opening. A read "500+1" was out
    // 500 ms and brought a byte back; "*3" thrice; "heard": bytes that made
    // no reply; "open": the port opened again.
    void silenceHint_data()
    {
        QTest::addColumn<QString>("reads");
        QTest::addColumn<QList<int>>("hints"); // the steps after which it is due
        QTest::newRow("20 silent reads of 500 ms") << "500*19 499 1 500*5" << QList<int>{20};
        QTest::newRow("a byte came back at first") << "500+1 500*40" << QList<int>{};
        QTest::newRow("bytes that made no reply") << "500*10 heard 500*30" << QList<int>{};
        QTest::newRow("reads held back add nothing") << "0*100 500*20" << QList<int>{119};
        QTest::newRow("once per opening") << "500*25 open 500+1 open 500*20" << QList<int>{19, 47};
    }
    void silenceHint()
    {
        QFETCH(QString, reads);
        QFETCH(QList<int>, hints);
        SilenceWatch watch;
        QList<int> said;
        int step = 0;
        for (const QString& word : reads.split(QLatin1Char(' '))) {
            const QString read = word.section(QLatin1Char('*'), 0, 0);
            for (int times = qMax(1, word.section(QLatin1Char('*'), 1).toInt()); times > 0; --times, ++step) {
                if (read == QLatin1String("open"))
                    watch.PortOpened();
                else if (read == QLatin1String("heard"))
                    watch.Heard();
                else if (watch.ReadEnded(read.section(QLatin1Char('+'), 0, 0).toInt(), read.section(QLatin1Char('+'), 1).toInt()))
                    said << step;
            }
        }
        QCOMPARE(said, hints);
    }
};

QTEST_GUILESS_MAIN(TestTransceiverReports)
#include "test_transceiver_reports.moc"
