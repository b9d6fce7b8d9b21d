// The link's port over a scripted port: closing, opening, reopening and a
// lost device, and what each does to the work queued.

#include "radio_link_rig.h"

#include <QTest>

class TestRadioLinkPort : public QObject {
    Q_OBJECT
private slots:
    void closedPortDropsEverything()
    {
        Rig rig;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [](const QByteArray&) {}));
        QTRY_VERIFY(rig.link.AwaitingReply());
        rig.port.receive(QByteArray::fromHex("0A"));
        QTRY_COMPARE(rig.link.ReplyBytes(), QByteArray::fromHex("0A"));

        rig.link.ClosePort();
        bool called = false;
        rig.link.SendCommand(Cmd(cat::CatOn));
        rig.link.SendCommand(Cmd(cat::ReadFrequencyMode, [&](const QByteArray&) { called = true; }));
        QTest::qWait(20);
        QCOMPARE(rig.port.written.size(), 1);
        QVERIFY(!called);
        QVERIFY(!rig.link.Busy());
        QCOMPARE(rig.link.ReplyBytes(), QByteArray::fromHex("0A")); // previous content kept
    }

    void stepsRunInOrder()
    {
        Rig rig;
        QStringList order;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray&) { order << "reply"; }));
        rig.link.Then([&] { order << "step"; });
        QCOMPARE(order, QStringList{});
        QTRY_VERIFY(rig.link.AwaitingReply());
        rig.port.receive(QByteArray::fromHex("05"));
        QTRY_COMPARE(order, (QStringList{"reply", "step"}));
        // With nothing queued a step runs at once.
        rig.link.Then([&] { order << "now"; });
        QCOMPARE(order.last(), QStringLiteral("now"));
    }

    void openingReportsFailuresOncePerAttempt()
    {
        Rig rig;
        QCOMPARE(rig.messages.portMessages, 0);
        QCOMPARE(rig.port.openedDevice, QStringLiteral("/dev/fake2"));

        rig.port.openResult = false;
        rig.link.OpenPort(3, QStringLiteral("57600,N,8,1"));
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(!rig.link.PortOpen());

        rig.port.openResult = true;
        rig.link.OpenPort(3, QStringLiteral("57600,Q,8,1")); // settings the line cannot take
        QCOMPARE(rig.messages.portMessages, 2);
        QVERIFY(!rig.link.PortOpen());

        rig.link.OpenPort(99, QStringLiteral("57600,N,8,1")); // names no device
        QCOMPARE(rig.messages.portMessages, 3);

        rig.link.OpenPort(4, QStringLiteral("4800,N,8,2"));
        QCOMPARE(rig.messages.portMessages, 3);
        QVERIFY(rig.link.PortOpen());
        QCOMPARE(rig.port.openedSettings.baudRate, 4800);
        QCOMPARE(rig.port.openedSettings.stopBits, QSerialPort::TwoStop);
    }

    void reopeningDropsQueuedWork()
    {
        Rig rig;
        bool called = false;
        rig.link.SendCommand(Cmd(cat::ReadFrequencyMode, [](const QByteArray&) {}));
        rig.link.SendCommand(Cmd(cat::SetMode));
        rig.link.Then([&] { called = true; });
        QTRY_COMPARE(rig.port.written.size(), 1);
        rig.link.OpenPort(3, QStringLiteral("9600,N,8,1"));
        QVERIFY(rig.link.PortOpen());
        QVERIFY(!rig.link.Busy());
        QTest::qWait(20);
        QCOMPARE(rig.port.written.size(), 1); // the mode command was for the old port
        QVERIFY(!called);
    }

    void lostDeviceClosesAndTellsOnce()
    {
        Rig rig;
        QSignalSpy lost(&rig.link, &RadioLink::portLost);
        bool called = false;
        rig.link.SendCommand(Cmd(cat::ReadFrequencyMode, [&](const QByteArray& r) { called = r.isEmpty(); }));
        rig.link.SendCommand(Cmd(cat::ReadRxStatus));
        QTRY_COMPARE(rig.port.written.size(), 1);
        rig.port.fail();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(called);
        QVERIFY(!rig.link.PortOpen());
        QVERIFY(!rig.link.Busy());
        QTest::qWait(20);
        QCOMPARE(rig.port.written.size(), 1);
    }
};

QTEST_MAIN(TestRadioLinkPort)
#include "test_radio_link_port.moc"
