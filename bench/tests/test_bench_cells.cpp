// How the benchmark writes a measurement whose replies never came.

#include "bench_cells.h"

#include <QTest>

Q_DECLARE_METATYPE(ClientStats)

namespace {

ClientStats Stats(std::vector<double> ms, int asked, int refused, int timeouts)
{
    ClientStats s;
    s.answered = int(ms.size());
    s.ms = std::move(ms);
    s.asked = asked;
    s.refused = refused;
    s.timeouts = timeouts;
    return s;
}

} // namespace

class TestBenchCells : public QObject {
    Q_OBJECT
private slots:
    // A server that never answers is said so, never shown as a latency.
    void answeredLatency_data()
    {
        QTest::addColumn<ClientStats>("stats");
        QTest::addColumn<QString>("cell");
        QTest::newRow("none came") << Stats({}, 3, 0, 3) << QStringLiteral("no reply in 5 s (3 asked)");
        QTest::newRow("all came") << Stats({10, 20, 30}, 3, 0, 0) << QStringLiteral("20.00 / 30.00 ms; 3 of 3");
        QTest::newRow("some missing") << Stats({10}, 3, 0, 2) << QStringLiteral("10.00 / 10.00 ms; 1 of 3, 2 no reply in 5 s");
        QTest::newRow("refused, not missing") << Stats({}, 2, 2, 0) << QStringLiteral("no replies; 0 of 2, 2 RPRT -n");
    }
    void answeredLatency()
    {
        QFETCH(ClientStats, stats);
        QFETCH(QString, cell);
        QCOMPARE(AnsweredLatency(stats, 5), cell);
    }
};

QTEST_GUILESS_MAIN(TestBenchCells)
#include "test_bench_cells.moc"
