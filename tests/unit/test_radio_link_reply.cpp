// How a reply's bytes are taken: each arrival signalled, read once at the
// end of its line time, or late and then byte by byte; and an urgent command
// meeting a reply due or overdue.

#include "radio_link_rig.h"

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
};

QTEST_MAIN(TestRadioLinkReply)
#include "test_radio_link_reply.moc"
