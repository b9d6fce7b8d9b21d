// What the radio's owner reports back after a set, over a scripted port: the
// value set once it is on the line, and the reading when it never got there.

#include "fake_serial_port.h"
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
        if (!QTest::qWaitFor([&] { return port.writtenHex().contains(QStringLiteral("00 00 00 00 E7")); }, 2000))
            return false;
        port.receive(QByteArray::fromHex("08"));
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
};

QTEST_GUILESS_MAIN(TestTransceiverReports)
#include "test_transceiver_reports.moc"
