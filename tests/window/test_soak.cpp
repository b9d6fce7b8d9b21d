// Soak: many poll rounds as fast as the line allows against the unpaced
// simulator, 1% of replies faulty, band and mode presses in between.
// SOAK_ROUNDS sets the count (default 20000).

#include "band_table.h"
#include "window_rig.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>

namespace {

double residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4.0 : 0;
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT
private slots:
    void rounds()
    {
        const int rounds = qEnvironmentVariableIntValue("SOAK_ROUNDS") > 0 ? qEnvironmentVariableIntValue("SOAK_ROUNDS") : 20000;
        WindowRig rig;
        QVERIFY(rig.start({"--fault-rate", "0.01", "--seed", "1847", "--smeter", "12"}));
        QVERIFY(rig.waitForReading());
        rig.window->Timer1().stop();

        // Everything the radio can be made to show: the start and the band spots.
        QSet<QString> allowedFrequencies{QStringLiteral("14.200.00")};
        for (const BandButton& band : kBandButtons)
            allowedFrequencies.insert(QString::number(band.kilohertz / 1000.0, 'f', 3).replace(QLatin1Char(','), QLatin1Char('.')));
        const QSet<QString> allowedModes{QStringLiteral("LSB"), QStringLiteral("USB"), QStringLiteral("CW"),
                                         QStringLiteral("FM"), QStringLiteral("AM"), QStringLiteral("CW-R")};
        QStringList badShown;
        int shown = 0;
        connect(rig.window.get(), &MainWindow::statusShown, this, [&] {
            ++shown;
            QString f = rig.window->txtFreq->text();
            f.chop(3); // the tens of hertz
            bool known = false;
            for (const QString& a : allowedFrequencies)
                known |= a.endsWith(f) && f.size() + 3 >= a.size();
            if (!known || !allowedModes.contains(rig.window->txtMode->text()))
                badShown << rig.window->txtFreq->text() + QLatin1Char(' ') + rig.window->txtMode->text();
        });

        QRandomGenerator random(99);
        double rssAt1000 = 0;
        int presses = 0;
        for (int i = 0; i < rounds; ++i) {
            rig.window->Radio().PollNow();
            if (random.bounded(50) == 0) {
                ++presses;
                if (random.bounded(2))
                    rig.window->Command1_Click(random.bounded(8));
                else
                    rig.window->Command2_Click(random.bounded(6));
                rig.window->Timer1().stop();
            }
            while (rig.window->Radio().Busy())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (i == 1000)
                rssAt1000 = residentKb();
        }
        const double rssEnd = residentKb();
        qInfo("rounds %d, readings shown %d, user presses %d, RSS %.0f kB -> %.0f kB", rounds, shown, presses,
              rssAt1000, rssEnd);
        QVERIFY2(badShown.isEmpty(), qPrintable(badShown.mid(0, 5).join(QLatin1String(", "))));
        QVERIFY(shown > rounds * 9 / 10);
        QVERIFY(rssEnd <= rssAt1000 * 1.10);

        QVERIFY(rig.shutDown(5000));
        const QStringList log = rig.sim.loggedCommands();
        // Taking control is CAT on, then receive for a radio left keyed;
        // nothing keys the radio here, so no other 88 and no 08.
        QCOMPARE(log.mid(0, 2), (QStringList{QStringLiteral("00 00 00 00 00"), QStringLiteral("00 00 00 00 88")}));
        QCOMPARE(log.count(QStringLiteral("00 00 00 00 88")), 1);
        static const QSet<QString> opcodes{"00", "01", "03", "07", "80", "88", "E7", "F7"};
        for (const QString& line : log) {
            QVERIFY2(!line.startsWith(QLatin1String("OVERLAP")) && !line.startsWith(QLatin1String("PARTIAL")),
                     qPrintable(line));
            QCOMPARE(line.size(), 14);
            QVERIFY2(opcodes.contains(line.right(2)), qPrintable(line));
        }
        QCOMPARE(log.last(), QStringLiteral("00 00 00 00 80"));
        QVERIFY(log.count(QStringLiteral("00 00 00 00 03")) >= rounds);
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestSoak test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_soak.moc"
