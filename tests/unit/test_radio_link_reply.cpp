// The link's side of a reply over a scripted port: read in pieces or once
// at its end, ended by the quiet gap or the time limit, stray bytes and a
// broken wait.

#include "radio_link_rig.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class TestRadioLinkReply : public QObject {
    Q_OBJECT
private slots:
    // However its bytes come, a reply is read whole: each arrival signalled,
    // or read once at the end of its line time and gap, or late and then
    // waited for byte by byte. An urgent command waits for a reply still
    // due, and cuts the wait for one overdue, whose late bytes are dropped.
    void replyInPieces_data()
    {
        QTest::addColumn<bool>("signalsEach"); // a port that cannot stop signalling
        QTest::addColumn<QByteArray>("beforeEnd"); // in by the reply's end
        QTest::addColumn<QByteArray>("afterEnd");
        QTest::addColumn<QString>("urgent"); // an urgent command sent "before end" or "after end"
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("signalled"); // readyRead the port gave
        const QByteArray whole = QByteArray::fromHex("0142000001");
        const QByteArray first = whole.left(2), rest = whole.mid(2);
        QTest::newRow("each piece signalled") << true << first << rest << QString() << whole << 2;
        QTest::newRow("read once at its end") << false << whole << QByteArray() << QString() << whole << 0;
        QTest::newRow("late, the rest byte by byte") << false << first << rest << QString() << whole << 1;
        QTest::newRow("an urgent command waits for a reply due") << false << whole << QByteArray() << "before end"
                                                                 << whole << 0;
        QTest::newRow("an urgent command cuts a reply overdue") << false << QByteArray() << whole << "after end"
                                                                << QByteArray() << 1;
    }
    void replyInPieces()
    {
        QFETCH(bool, signalsEach);
        QFETCH(QByteArray, beforeEnd);
        QFETCH(QByteArray, afterEnd);
        QFETCH(QString, urgent);
        QFETCH(QByteArray, reply);
        QFETCH(int, signalled);
        Rig rig;
        if (!signalsEach)
            QVERIFY(rig.readOnce());
        QList<QByteArray> replies;
        rig.link.SendCommand(Cmd(cat::ReadFrequencyMode, [&](const QByteArray& r) { replies << r; }));
        QVERIFY(rig.link.AwaitingReply()); // the port took the command at once
        QCOMPARE(rig.port.watched, signalsEach);
        if (urgent == QLatin1String("before end")) {
            rig.link.SendUrgent(Cmd(cat::CatOff));
            QCOMPARE(rig.port.written.size(), 1); // not onto the reply
        }
        if (!beforeEnd.isEmpty())
            rig.port.receive(beforeEnd);
        QVERIFY(replies.isEmpty());
        if (!signalsEach)
            QTRY_VERIFY(rig.port.fetches > 0); // the reply's end
        if (urgent == QLatin1String("after end")) {
            rig.link.SendUrgent(Cmd(cat::CatOff));
            QCOMPARE(rig.port.written.size(), 2);
        }
        if (!afterEnd.isEmpty())
            rig.port.receive(afterEnd);
        QTRY_COMPARE(replies, QList<QByteArray>{reply});
        QCOMPARE(rig.port.signalled, signalled);
        if (!urgent.isEmpty()) {
            QTRY_COMPARE(rig.port.writtenHex(), (QStringList{"00 00 00 00 03", "00 00 00 00 80"}));
            QTRY_VERIFY(rig.port.input.isEmpty());
        }
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

};

QTEST_MAIN(TestRadioLinkReply)
#include "test_radio_link_reply.moc"
