// Which tables the benchmark prints for its options, and how it writes a
// measurement whose replies never came.

#include "bench_cells.h"
#include "bench_options.h"

#include <QTest>

Q_DECLARE_METATYPE(BenchOptions)
Q_DECLARE_METATYPE(ClientStats)

namespace {

BenchOptions Only(bool window, bool network, bool slow, bool transmit, bool satellite)
{
    return {window, network, slow, transmit, satellite, false, false, false, 0, {}};
}

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

class TestBenchOptions : public QObject {
    Q_OBJECT
private slots:
    void tables_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<BenchOptions>("expected");
        BenchOptions keyChild = Only(true, true, true, true, true);
        keyChild.keyChildPort = 4532;
        BenchOptions dispatcher = Only(false, false, false, false, false);
        dispatcher.dispatcher = true;
        BenchOptions xcb = Only(false, false, false, false, false);
        xcb.xcbCpu = true;
        BenchOptions quit = Only(false, false, false, false, false);
        quit.quit = true;
        QTest::newRow("none: every table") << QStringList{} << Only(true, true, true, true, true);
        QTest::newRow("Qt's own options pass") << QStringList{"-platform", "offscreen"} << Only(true, true, true, true, true);
        QTest::newRow("window alone") << QStringList{"--window-only"} << Only(true, false, false, false, false);
        QTest::newRow("network alone") << QStringList{"--network-only"} << Only(false, true, false, false, false);
        QTest::newRow("slow alone") << QStringList{"--slow-only"} << Only(false, false, true, false, false);
        QTest::newRow("transmit alone") << QStringList{"--transmit-only"} << Only(false, false, false, true, false);
        QTest::newRow("satellite alone") << QStringList{"--satellite-only"} << Only(false, false, false, false, true);
        QTest::newRow("two add up") << QStringList{"--slow-only", "--satellite-only"} << Only(false, false, true, false, true);
        QTest::newRow("dispatcher alone") << QStringList{"--dispatcher-only"} << dispatcher;
        QTest::newRow("xcb rows alone") << QStringList{"--xcb-cpu-only"} << xcb;
        QTest::newRow("quitting after Speak alone") << QStringList{"--quit-only"} << quit;
        QTest::newRow("keying child") << QStringList{"--key-child", "4532"} << keyChild;
    }
    void tables()
    {
        QFETCH(QStringList, args);
        QFETCH(BenchOptions, expected);
        QCOMPARE(ParseBenchOptions(args), expected);
    }

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

QTEST_GUILESS_MAIN(TestBenchOptions)
#include "test_bench_options.moc"
