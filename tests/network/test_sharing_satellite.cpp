// Satellite mode through the sharing server, as gpredict drives it: the
// duplex cycle every 100 ms against the simulator at 4800 baud, each set on
// the line in order, the poll reading both VFOs all the while.

#include "radio_station.h"

#include <QSignalSpy>
#include <QTimer>

namespace {

// gpredict's "Duplex TRX" cycle, one request at a time, each waiting for
// its reply: f, F down, f, i, I up, i.
class DopplerClient : public QObject {
public:
    explicit DopplerClient(quint16 port) : client(port)
    {
        QObject::connect(&client.socket, &QTcpSocket::readyRead, this, [this] { next(); });
    }
    // Starts a cycle unless one is still under way.
    void cycle()
    {
        if (!pending.isEmpty())
            return;
        const qint64 down = 435900000 - cycles * 10;
        const qint64 up = 145900000 + cycles * 10;
        // %10.0f: a nine-digit frequency arrives after two spaces.
        pending = {"f\n", "F  " + QByteArray::number(down) + "\n", "f\n",
                   "i\n", "I  " + QByteArray::number(up) + "\n", "i\n"};
        downlinks << down;
        uplinks << up;
        ++cycles;
        send();
    }

    LineClient client;
    QList<QByteArray> pending;
    QList<qint64> downlinks, uplinks;
    int cycles = 0;

private:
    void send()
    {
        asked = int(client.lines.size());
        client.send(pending.first());
    }
    void next()
    {
        if (pending.isEmpty() || client.lines.size() <= asked)
            return;
        pending.removeFirst();
        if (!pending.isEmpty())
            send();
    }
    int asked = 0;
};

QString Bcd(qint64 hz)
{
    return QStringLiteral("%1").arg(hz / 10, 8, 10, QLatin1Char('0'));
}

} // namespace

class TestSharingSatellite : public QObject {
    Q_OBJECT
private slots:
    void dopplerCycleEvery100Ms()
    {
        RadioStation station;
        QVERIFY(station.start());
        DopplerClient gpredict(station.serverPort());
        LineClient logger(station.serverPort()); // another program reading meanwhile
        gpredict.client.send("S 1 Sub\n");
        QVERIFY(gpredict.client.waitForLines(1, 5000));
        QCOMPARE(gpredict.client.lines.takeFirst(), QStringLiteral("RPRT 0"));

        QSignalSpy ticks(&station.radio->PollTimer(), &QTimer::timeout);
        const int roundsBefore = station.logged(QStringLiteral("23"));
        QTimer cycle;
        connect(&cycle, &QTimer::timeout, &gpredict, [&] {
            gpredict.cycle();
            logger.send("f\n");
        });
        cycle.start(100);
        QVERIFY(RunUntil([&] { return gpredict.cycles >= 30; }, 20000));
        cycle.stop();
        QVERIFY(RunUntil([&] { return gpredict.pending.isEmpty(); }, 5000));

        // No errors; each read-back answers the value just set.
        QVERIFY2(gpredict.client.lines.filter(QStringLiteral("RPRT -")).isEmpty(),
                 qPrintable(gpredict.client.lines.filter(QStringLiteral("RPRT -")).join(QLatin1Char(','))));
        QVERIFY(logger.lines.filter(QStringLiteral("RPRT")).isEmpty());
        QCOMPARE(gpredict.client.lines.size(), 6 * gpredict.cycles);
        for (int c = 0; c < gpredict.cycles; ++c) {
            QCOMPARE(gpredict.client.lines[6 * c + 2], QString::number(gpredict.downlinks[c]));
            QCOMPARE(gpredict.client.lines[6 * c + 5], QString::number(gpredict.uplinks[c]));
        }
        // Every set on the line, in order, to its VFO.
        QStringList sets;
        for (const QString& line : station.sim.loggedCommands())
            if (line.endsWith(QLatin1String(" 11")) || line.endsWith(QLatin1String(" 21")))
                sets << line;
        QStringList expected;
        for (int c = 0; c < gpredict.cycles; ++c) {
            const QString down = Bcd(gpredict.downlinks[c]);
            const QString up = Bcd(gpredict.uplinks[c]);
            auto command = [](const QString& digits, const char* opcode) {
                return QStringLiteral("%1 %2 %3 %4 %5").arg(digits.mid(0, 2), digits.mid(2, 2), digits.mid(4, 2),
                                                            digits.mid(6, 2), QLatin1String(opcode));
            };
            expected << command(down, "11") << command(up, "21");
        }
        QCOMPARE(sets, expected);
        // The poll read both VFOs at its cadence throughout, never the main one.
        const int rounds = station.logged(QStringLiteral("23")) - roundsBefore;
        QVERIFY2(rounds >= ticks.count() - 2, qPrintable(QStringLiteral("%1 rounds for %2 ticks").arg(rounds).arg(ticks.count())));
        QVERIFY(!station.sim.loggedCommands().mid(station.sim.loggedCommands().indexOf(QStringLiteral("00 00 00 00 4E")))
                     .contains(QStringLiteral("00 00 00 00 03")));
        QCOMPARE(station.sim.loggedOverlaps(), 0);
    }

};

QTEST_GUILESS_MAIN(TestSharingSatellite)
#include "test_sharing_satellite.moc"
