// The exchange queue over a scripted port: what goes on the line, in what
// order, and how every wait ends.

#include "radio_link_rig.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class TestRadioLink : public QObject {
    Q_OBJECT
private slots:
    void commandBytes()
    {
        Rig rig;
        rig.link.SendCommand(Cmd(cat::SetMode, {}, {}, 0x08));
        rig.link.SendCommand(RadioLink::Make(*cat::SetFrequencyCommand(1420000)));
        QTRY_COMPARE(rig.port.writtenHex(), (QStringList{"08 00 00 00 07", "01 42 00 00 01"}));
        QCOMPARE(rig.link.CommandBuffer(), (cat::CommandBytes{0x01, 0x42, 0x00, 0x00, 0x01}));
    }

    void frequencyCommandsOnlyInRange()
    {
        const auto inBand = cat::KilohertzTo10Hz(433425);
        QVERIFY(inBand);
        QCOMPARE(cat::SetFrequencyCommand(*inBand), (cat::CommandBytes{0x43, 0x34, 0x25, 0x00, 0x01}));
        for (std::int64_t khz : {std::int64_t(0), std::int64_t(99), std::int64_t(80000), std::int64_t(-5)})
            QVERIFY(!cat::SetFrequencyCommand(khz * 100));
        QVERIFY(!cat::KilohertzTo10Hz(21474837)); // would not fit 32 bits
        QVERIFY(!cat::SetFrequencyCommand(9999));
        QVERIFY(cat::SetFrequencyCommand(10000));
    }

    void eachCommandCarriesItsOwnParameters()
    {
        // Nothing one caller queued shows up in the next one's bytes.
        Rig rig;
        rig.link.SendCommand(Cmd(cat::SetMode, {}, {}, 0x01));
        rig.link.SendCommand(Cmd(cat::CatOn));
        QTRY_COMPARE(rig.port.writtenHex(), (QStringList{"01 00 00 00 07", "00 00 00 00 00"}));
    }

    void exchangesNeverOverlap()
    {
        Rig rig;
        QByteArray got;
        rig.link.SendCommand(Cmd(cat::ReadFrequencyMode, [&](const QByteArray& r) { got = r; }));
        rig.link.SendCommand(Cmd(cat::SetMode, {}, {}, 0x02));
        // The mode command waits behind the read until its reply is in.
        QTest::qWait(50);
        QCOMPARE(rig.port.written.size(), 1);
        QVERIFY(rig.link.Busy());
        rig.port.receive(QByteArray::fromHex("0142000001"));
        QTRY_COMPARE(got, QByteArray::fromHex("0142000001"));
        QCOMPARE(rig.link.ReplyBytes(), got);
        // Snapshot: the mode command carries the buffer as it was at SendCommand.
        QTRY_COMPARE(rig.port.writtenHex(), (QStringList{"00 00 00 00 03", "02 00 00 00 07"}));
        QTRY_VERIFY(!rig.link.Busy());
    }

    void surplusBytesGarbleTheReplyAndTheLineDrains_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("late");
        QTest::addColumn<bool>("signalsEach");
        // All at once, or the whole reply first and the surplus inside the
        // gap; or all in the driver when the reply is read at its end.
        QTest::newRow("stray bytes together") << QByteArray::fromHex("0AFEFE") << QByteArray() << true;
        QTest::newRow("stray byte in the gap") << QByteArray::fromHex("0A") << QByteArray::fromHex("FE") << true;
        QTest::newRow("stray bytes read at the reply's end") << QByteArray::fromHex("0AFEFE") << QByteArray() << false;
    }
    void surplusBytesGarbleTheReplyAndTheLineDrains()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, late);
        QFETCH(bool, signalsEach);
        Rig rig;
        if (!signalsEach)
            QVERIFY(rig.readOnce());
        QSignalSpy finished(&rig.link, &RadioLink::exchangeFinished);
        QList<QByteArray> replies;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray& r) { replies << r; }));
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray& r) { replies << r; }));
        QTRY_VERIFY(rig.link.AwaitingReply());
        rig.port.receive(first);
        if (!late.isEmpty())
            rig.port.receive(late); // before the gap ran out: the test does not yield
        if (!signalsEach)
            QVERIFY(finished.wait(2000)); // read at the reply's end
        // The reply is discarded, not cut to length: 0xFE would read as S 30.
        QCOMPARE(replies, QList<QByteArray>{QByteArray()});
        QCOMPARE(rig.port.written.size(), 1);
        // The next command waits for the line to go quiet, then starts clean,
        // its reply watched byte by byte: this line garbles.
        QTRY_COMPARE(rig.port.written.size(), 2);
        QVERIFY(rig.port.input.isEmpty());
        QVERIFY(rig.port.watched);
        rig.port.receive(QByteArray::fromHex("0B"));
        QTRY_COMPARE(replies.size(), 2);
        QCOMPARE(replies[1], QByteArray::fromHex("0B"));
    }

    void wholeReplyWaitsForTheQuietGap()
    {
        Rig rig;
        rig.link.OpenPort(2, QStringLiteral("4800,N,8,1"));
        QCOMPARE(rig.link.QuietGapMs(), 5); // two byte-times at 4800 baud, rounded up
        QList<QByteArray> replies;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray& r) { replies << r; }));
        rig.link.SendCommand(Cmd(cat::CatOn));
        QTRY_VERIFY(rig.link.AwaitingReply());
        rig.port.receive(QByteArray::fromHex("0A"));
        // Counted only once the line stayed quiet; nothing goes out before.
        QVERIFY(replies.isEmpty());
        QCOMPARE(rig.port.written.size(), 1);
        QTRY_COMPARE(replies, QList<QByteArray>{QByteArray::fromHex("0A")});
        QTRY_COMPARE(rig.port.written.size(), 2);
    }

    void quietGapFollowsTheLineRate()
    {
        QCOMPARE(QuietGapMs(4800), 5);
        QCOMPARE(QuietGapMs(9600), 3);
        QCOMPARE(QuietGapMs(57600), kMinQuietGapMs);
        QCOMPARE(QuietGapMs(300), 67);
        QCOMPARE(QuietGapMs(0), kMinQuietGapMs);
    }

    void handlersSeeAFinishedLink()
    {
        // A handler that sends at once, after a time-out: its command must
        // wait out the settle, not go out on top of a late answer.
        Rig rig;
        bool timedOut = false;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray&) {
            timedOut = true;
            QVERIFY(rig.link.Busy()); // already settling when the handler runs
            rig.link.SendCommand(Cmd(cat::CatOn));
        }));
        QTRY_VERIFY_WITH_TIMEOUT(timedOut, 3000);
        QCOMPARE(rig.port.written.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(rig.port.written.size(), 2, 3000);

        // Reopening during a wait: the handler runs with the old port closed,
        // and what it sends goes to the new one.
        QString deviceSeen;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray& r) {
            QVERIFY(r.isEmpty());
            deviceSeen = rig.port.isOpen() ? rig.port.openedDevice : QStringLiteral("closed");
            rig.link.SendCommand(Cmd(cat::CatOn));
        }));
        QTRY_VERIFY(rig.link.AwaitingReply());
        const qsizetype before = rig.port.written.size();
        rig.link.OpenPort(5, QStringLiteral("9600,N,8,1"));
        QCOMPARE(deviceSeen, QStringLiteral("closed"));
        QCOMPARE(rig.port.written.size(), before); // nothing reached the old radio
        QVERIFY(rig.link.PortOpen());
        QVERIFY(!rig.link.Busy());
    }

    void sentHandlersLearnTheOutcome()
    {
        Rig rig;
        QList<bool> outcomes;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [](const QByteArray&) {}));
        rig.link.SendCommand(Cmd(cat::SetFrequency, {}, [&](bool sent) { outcomes << sent; }));
        rig.link.SendCommand(Cmd(cat::SetMode, {}, [&](bool sent) { outcomes << sent; }));
        QTRY_VERIFY(rig.link.AwaitingReply());
        QVERIFY(outcomes.isEmpty()); // still queued behind the read
        rig.port.receive(QByteArray::fromHex("05"));
        QTRY_COMPARE(outcomes, (QList<bool>{true, true}));

        // Dropped by a lost port, or never queued on a closed one: false.
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [](const QByteArray&) {}));
        rig.link.SendCommand(Cmd(cat::SetFrequency, {}, [&](bool sent) { outcomes << sent; }));
        QTRY_VERIFY(rig.link.AwaitingReply());
        rig.port.fail();
        QCOMPARE(outcomes, (QList<bool>{true, true, false}));
        rig.link.SendCommand(Cmd(cat::SetFrequency, {}, [&](bool sent) { outcomes << sent; }));
        QCOMPARE(outcomes, (QList<bool>{true, true, false, false}));
    }

    void silentRadioEndsAtTheTimeLimit()
    {
        Rig rig;
        bool done = false;
        QByteArray got("unset");
        QElapsedTimer clock;
        clock.start();
        rig.link.SendCommand(Cmd(cat::ReadFrequencyMode, [&](const QByteArray& r) { got = r; done = true; }));
        QTRY_COMPARE(rig.port.written.size(), 1);
        rig.port.receive(QByteArray::fromHex("01420000")); // one byte short
        QTRY_VERIFY_WITH_TIMEOUT(done, 3000);
        QVERIFY(clock.elapsed() >= RadioLink::ReplyTimeout - 20);
        QCOMPARE(got, QByteArray::fromHex("01420000"));
        // A late answer is let die away before the next command.
        QVERIFY(rig.link.Busy());
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [](const QByteArray&) {}));
        rig.port.receive(QByteArray::fromHex("01")); // the late fifth byte
        QTest::qWait(RadioLink::SettleQuiet / 2);
        QCOMPARE(rig.port.written.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(rig.port.written.size(), 2, 2000);
        QVERIFY(rig.port.input.isEmpty()); // the late byte was dropped, not read as the S-meter
    }

    void sentOnlyOnceTheBitsHaveLeft_data()
    {
        QTest::addColumn<qint64>("driverQueued");
        QTest::newRow("the kernel took it at once") << qint64(0);
        QTest::newRow("the driver still holds it") << qint64(5);
    }
    void sentOnlyOnceTheBitsHaveLeft()
    {
        // At 50 baud five bytes take a second to leave, whenever the port
        // reports the write done: nobody is told "sent" before that.
        QFETCH(qint64, driverQueued);
        Rig rig;
        rig.link.OpenPort(2, QStringLiteral("50,N,8,1"));
        rig.port.driverQueued = driverQueued;
        QList<bool> outcomes;
        QElapsedTimer clock;
        clock.start();
        rig.link.SendCommand(Cmd(cat::SetMode, {}, [&](bool sent) { outcomes << sent; }));
        rig.link.SendCommand(Cmd(cat::CatOn));
        QTRY_COMPARE(rig.port.written.size(), 1);
        QCoreApplication::processEvents(); // the port's bytesWritten has come
        QVERIFY(outcomes.isEmpty());
        QCOMPARE(rig.port.written.size(), 1); // the next command is not handed over either
        if (driverQueued) {
            // Past the line time, the driver's queue is still waited out.
            QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() > 1200, 5000);
            QVERIFY(outcomes.isEmpty());
            rig.port.driverQueued = 0;
        }
        QTRY_COMPARE_WITH_TIMEOUT(outcomes, QList<bool>{true}, 5000);
        QVERIFY(clock.elapsed() >= 1000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.port.written.size(), 2, 5000);
    }

    void stuckSendIsBounded()
    {
        Rig rig;
        rig.port.pendingWrite = 5; // the bytes never leave
        bool called = false;
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray& r) { called = r.isEmpty(); }));
        QTRY_VERIFY_WITH_TIMEOUT(called, 3000);
        // Its bytes may still leave: the line settles, within a bound.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link.Busy(), 3000);
    }

    // A send that ran out of time is reported as failed, but its bytes may
    // still leave: the next command is not written until they have.
    void nextCommandWaitsForStuckBytes()
    {
        Rig rig;
        rig.port.pendingWrite = 5;
        QList<bool> outcomes;
        rig.link.SendCommand(Cmd(cat::SetMode, {}, [&](bool sent) { outcomes << sent; }));
        rig.link.SendCommand(Cmd(cat::CatOn));
        QTRY_COMPARE_WITH_TIMEOUT(outcomes, QList<bool>{false}, 3000);
        QTest::qWait(RadioLink::SettleQuiet + 50);
        QCOMPARE(rig.port.written.size(), 1);
        rig.port.finishWriting(); // the stuck bytes leave at last
        QTRY_COMPARE_WITH_TIMEOUT(rig.port.written.size(), 2, 3000);
    }

    void breakingTheWait()
    {
        Rig rig;
        bool requested = false;
        rig.link.SetWaitBreaker([&] { return requested; });
        QList<QByteArray> replies;
        rig.link.SendCommand(Cmd(cat::ReadFrequencyMode, [&](const QByteArray& r) { replies << r; }));
        rig.link.SendCommand(Cmd(cat::ReadRxStatus, [&](const QByteArray& r) { replies << r; }));
        rig.link.SendCommand(Cmd(cat::SetMode));
        QTRY_VERIFY(rig.link.AwaitingReply());
        QElapsedTimer clock;
        clock.start();
        requested = true;
        rig.link.BreakWait();
        // The wait ends at once, and the line settles: the broken reply may
        // still have been on its way.
        QCOMPARE(replies, QList<QByteArray>{QByteArray()});
        QVERIFY(rig.link.Busy());
        rig.port.receive(QByteArray::fromHex("01")); // a late byte, dropped
        // Then the read queued behind it is skipped, never sent; the set goes,
        // once the reply could no longer come: as long as the wait would
        // have lasted, and the settle after that.
        QTRY_COMPARE_WITH_TIMEOUT(rig.port.written.size(), 2, 3000);
        QVERIFY(clock.elapsed() >= RadioLink::ReplyTimeout + RadioLink::SettleQuiet - 20);
        QCOMPARE(replies, (QList<QByteArray>{QByteArray(), QByteArray()}));
        QCOMPARE(rig.port.writtenHex().last(), QStringLiteral("00 00 00 00 07"));
        QVERIFY(rig.port.input.isEmpty());
    }

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

QTEST_MAIN(TestRadioLink)
#include "test_radio_link.moc"
