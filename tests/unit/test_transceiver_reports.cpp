// What the radio's owner reports back after a set, over a scripted port: the
// value set once it is on the line, and the reading when it never got there.
// Receive owed reaches the wire before the port closes, whatever closes it.

#include "fake_serial_port.h"
#include "loopback_line_client.h"
#include "transceiver.h"

#include <QSignalSpy>
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

// "500*3 1+1 open" as (ms, bytes) reads: "500" a read out 500 ms with no
// byte back, "500+1" with one, "*3" three of them, "open" the port opened
// again (-1, -1), "garbage" bytes that made no reply (-2, -2).
QList<std::pair<int, int>> ReadsOf(const QString& script)
{
    QList<std::pair<int, int>> reads;
    for (const QString& word : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList times = word.split(QLatin1Char('*'));
        const QStringList read = times[0].split(QLatin1Char('+'));
        const std::pair<int, int> one = read[0] == QLatin1String("open")    ? std::pair{-1, -1}
                                      : read[0] == QLatin1String("garbage") ? std::pair{-2, -2}
                                                                            : std::pair{read[0].toInt(), read.value(1).toInt()};
        for (int n = times.value(1, QStringLiteral("1")).toInt(); n > 0; --n)
            reads << one;
    }
    return reads;
}

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
        rig.radio.CloseClient(holder);
        bool shutDown = false;
        if (then == QLatin1String("shutdown"))
            rig.radio.ShutDown([&](bool) { shutDown = true; });
        else if (then == QLatin1String("open"))
            QVERIFY(!rig.radio.OpenPort(3, QStringLiteral("57600,N,8,1"), false));
        else
            rig.radio.ClosePort();
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
    // with not one byte back, and once per opening.
    void silenceHint_data()
    {
        QTest::addColumn<QString>("reads");
        QTest::addColumn<QList<int>>("hints"); // the reads after which it is due
        QTest::newRow("20 silent reads of 500 ms") << "500*19 499 1 500*5" << QList<int>{20};
        QTest::newRow("not before 10 s") << "500*19 499" << QList<int>{};
        QTest::newRow("a byte came back at first") << "500+1 500*40" << QList<int>{};
        QTest::newRow("a short reply counts") << "500*10 500+2 500*30" << QList<int>{};
        QTest::newRow("bytes that made no reply count") << "500*10 garbage 500*30" << QList<int>{};
        QTest::newRow("reads held back add nothing") << "0*100 500*20" << QList<int>{119};
        QTest::newRow("an answer after the hint") << "500*20 500+5 500*20" << QList<int>{19};
        QTest::newRow("each opening, once") << "500*25 open 500+1 open 500*20" << QList<int>{19, 47};
    }
    void silenceHint()
    {
        QFETCH(QString, reads);
        QFETCH(QList<int>, hints);
        SilenceWatch watch;
        watch.PortOpened();
        QList<int> said;
        const auto script = ReadsOf(reads);
        for (int i = 0; i < script.size(); ++i) {
            if (script[i].first == -2)
                watch.Heard();
            else if (script[i].first < 0)
                watch.PortOpened();
            else if (watch.ReadEnded(script[i].first, script[i].second))
                said << i;
        }
        QCOMPARE(said, hints);
    }

    // A radio that cannot answer: no read ever goes out, every set does,
    // and what was last set on each VFO is its reading; the tuning steps
    // from it. "F"/"M" set the VFO shown, "I" the uplink, "S1"/"S0"
    // satellite mode, "up" is +1 MHz.
    void noAnswersDrivesByWhatWasSet_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("line");
        QTest::addColumn<QString>("shown");  // the VFO shown: "frequency mode", "-" for none
        QTest::addColumn<QString>("uplink");
        QTest::newRow("nothing set") << "" << QStringList{} << "- -" << "- -";
        QTest::newRow("frequency and mode") << "F707400 M0" << QStringList{"00 70 74 00 01", "00 00 00 00 07"}
                                            << "707400 0" << "- -";
        QTest::newRow("+1 MHz from the last set") << "F707400 up" << QStringList{"00 70 74 00 01", "00 80 74 00 01"}
                                                  << "807400 -" << "- -";
        QTest::newRow("+1 MHz with nothing set") << "up" << QStringList{} << "- -" << "- -";
        QTest::newRow("satellite VFOs") << "F707400 S1 F43590000 I14590000"
                                        << QStringList{"00 70 74 00 01", "00 00 00 00 4E", "43 59 00 00 11",
                                                       "14 59 00 00 21"}
                                        << "43590000 -" << "14590000 -";
        QTest::newRow("back to the main VFO") << "F707400 S1 F43590000 S0"
                                              << QStringList{"00 70 74 00 01", "00 00 00 00 4E", "43 59 00 00 11",
                                                             "00 00 00 00 8E"}
                                              << "707400 -" << "- -";
    }
    void noAnswersDrivesByWhatWasSet()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, line);
        QFETCH(QString, shown);
        QFETCH(QString, uplink);
        FakeSerialPort port;
        CountingMessages messages;
        Transceiver radio{port, messages, [](int) { return QStringLiteral("/dev/fake"); }};
        radio.SetRadioAnswers(false);
        QVERIFY(radio.OpenPort(2, QStringLiteral("57600,N,8,1"), false));
        QSignalSpy rounds(&radio, &Transceiver::roundFinished);
        using Kind = radio::Request::Kind;
        for (const QString& word : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int value = word.mid(1).toInt();
            if (word == QLatin1String("up"))
                radio.MhzUp();
            else if (word.startsWith(QLatin1Char('S')))
                radio.SetSatellite(value == 1);
            else
                radio.Submit({word[0] == QLatin1Char('M') ? Kind::SetMode : Kind::SetFrequency,
                              word[0] == QLatin1Char('I') ? radio::Vfo::Uplink : radio::Vfo::Current, value});
            const qsizetype before = rounds.size();
            radio.PollNow();
            QTRY_VERIFY(rounds.size() > before && !radio.Busy());
        }
        QCOMPARE(port.writtenHex(), line);
        const auto text = [](const VfoReading& r) {
            return QStringLiteral("%1 %2").arg(r.have ? QString::number(r.frequency) : QStringLiteral("-"),
                                               r.haveMode ? QString::number(r.mode) : QStringLiteral("-"));
        };
        QCOMPARE(text(radio.Reading(radio::Vfo::Current)), shown);
        QCOMPARE(text(radio.Reading(radio::Vfo::Uplink)), uplink);
        QVERIFY(radio.Reading(radio::Vfo::Current).assumed);
    }
};

QTEST_GUILESS_MAIN(TestTransceiverReports)
#include "test_transceiver_reports.moc"
