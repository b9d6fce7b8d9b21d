// Every client gets a turn on the line whatever the radio does: the poll's
// reads are turns of their own, and a client's set goes between them, also
// when each read waits out its time-out on a silent radio.

#include "radio_station.h"

#include <QElapsedTimer>

class TestSharingSlowRadio : public QObject {
    Q_OBJECT
private slots:
    void aClientSetIsAnsweredWhateverTheRadioDoes_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QByteArray>("first"); // sent before the set, answered first
        QTest::newRow("on time") << QStringList{} << QByteArray();
        QTest::newRow("replies 60 ms late") << QStringList{"--delay-ms", "60"} << QByteArray();
        QTest::newRow("silent") << QStringList{"--silent"} << QByteArray();
        // Three reads a round: the downlink, the uplink and the meter.
        QTest::newRow("satellite mode, replies 60 ms late") << QStringList{"--delay-ms", "60"} << QByteArray("S 1 Sub\n");
    }
    void aClientSetIsAnsweredWhateverTheRadioDoes()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QByteArray, first);
        RadioStation station;
        QVERIFY(station.start(simArgs));
        LineClient client(station.serverPort());
        QTRY_COMPARE(station.sharing->Server().clientCount(), 1);
        if (!first.isEmpty()) {
            client.send(first);
            QVERIFY(client.waitForLines(1, 5000));
            QCOMPARE(client.lines.takeFirst(), QStringLiteral("RPRT 0"));
        }
        // Rounds follow each other back to back now: the poll is due again
        // the moment each one ends.
        QVERIFY(QTest::qWaitFor([&] { return station.logged(QStringLiteral("E7")) >= 2; }, 10000));
        for (int i = 0; i < 3; ++i) {
            const QByteArray frequency = QByteArray::number(14074000 + i * 1000);
            client.send("F " + frequency + '\n');
            QVERIFY2(client.waitForLines(i + 1, 2000), qPrintable(QStringLiteral("set %1 unanswered").arg(i)));
            QCOMPARE(client.lines.last(), QStringLiteral("RPRT 0"));
        }
        // Logged once the simulator has framed it, a moment after its line time.
        QTRY_COMPARE(station.logged(first.isEmpty() ? QStringLiteral("01") : QStringLiteral("11")), 3);
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

    // A read finds no fresh reading on a silent radio: it waits for one, at
    // most the bounded wait, and says so.
    void aReadOnASilentRadioTimesOut()
    {
        RadioStation station;
        QVERIFY(station.start({QStringLiteral("--silent")}));
        LineClient client(station.serverPort());
        client.send("f\n");
        QVERIFY(client.waitForLines(1, Transceiver::FreshReadingWaitMs + 1000));
        QCOMPARE(client.lines, QStringList{QStringLiteral("RPRT -5")});
    }
};

QTEST_GUILESS_MAIN(TestSharingSlowRadio)
#include "test_sharing_slow_radio.moc"
