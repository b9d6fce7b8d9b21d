// The benchmark's own parts: how it writes a measurement whose replies never
// came, how it reads strace's count of system calls, and the log watcher its
// "on the line" times come from.

#include "bench_cells.h"
#include "log_watcher.h"
#include "syscall_count.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace std::chrono_literals;
using Clock = LogWatcher::Clock;

Q_DECLARE_METATYPE(ClientStats)

class TestBenchParts : public QObject {
    Q_OBJECT
private slots:
    // A server that never answers is said so, never shown as a latency.
    void answeredLatency_data()
    {
        QTest::addColumn<ClientStats>("stats");
        QTest::addColumn<QString>("cell");
        const auto stats = [](std::vector<double> ms, int asked, int refused, int timeouts) {
            ClientStats s;
            s.answered = int(ms.size());
            s.ms = std::move(ms);
            s.asked = asked;
            s.refused = refused;
            s.timeouts = timeouts;
            return s;
        };
        QTest::newRow("none came") << stats({}, 3, 0, 3) << QStringLiteral("no reply in 5 s (3 asked)");
        QTest::newRow("all came") << stats({10, 20, 30}, 3, 0, 0) << QStringLiteral("20.00 / 30.00 ms; 3 of 3");
        QTest::newRow("some missing") << stats({10}, 3, 0, 2) << QStringLiteral("10.00 / 10.00 ms; 1 of 3, 2 no reply in 5 s");
        QTest::newRow("refused, not missing") << stats({}, 2, 2, 0) << QStringLiteral("no replies; 0 of 2, 2 RPRT -n");
    }
    void answeredLatency()
    {
        QFETCH(ClientStats, stats);
        QFETCH(QString, cell);
        QCOMPARE(AnsweredLatency(stats, 5), cell);
    }

    // strace -c's summary, with and without an errors column, and cut short.
    void straceSummary_data()
    {
        QTest::addColumn<QString>("summary");
        QTest::addColumn<double>("rounds");
        QTest::addColumn<QString>("cell");
        const QString head = QStringLiteral("% time     seconds  usecs/call     calls    errors syscall\n"
                                            "------ ----------- ----------- --------- --------- ----------------\n");
        QTest::newRow("calls by name") << head + QStringLiteral(" 70.27    0.006203          19       326           poll\n"
                                                                 " 21.03    0.001856           8       213           write\n"
                                                                 "  8.55    0.000755           3       220        14 read\n"
                                                                 "  0.15    0.000013          13         1           restart_syscall\n"
                                                                 "------ ----------- ----------- --------- --------- ----------------\n"
                                                                 "100.00    0.008827          11       760        14 total\n")
                                       << 100.0 << QStringLiteral("7.6 a round (poll 3.3, read 2.2, write 2.1)");
        QTest::newRow("no total line") << head + QStringLiteral(" 70.27    0.006203          19       326           poll\n")
                                       << 100.0 << QStringLiteral("not counted");
        QTest::newRow("no rounds") << head + QStringLiteral("100.00    0.008827          11       760           total\n")
                                   << 0.0 << QStringLiteral("not counted");
    }
    void straceSummary()
    {
        QFETCH(QString, summary);
        QFETCH(double, rounds);
        QFETCH(QString, cell);
        QCOMPARE(PerUnit(ParseStraceSummary(summary), rounds, QStringLiteral("round")), cell);
    }

    void isCommand_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("matches"); // as opcode 88
        QTest::newRow("the opcode") << QStringLiteral("00 00 00 00 88") << true;
        QTest::newRow("overlapping, still on the line") << QStringLiteral("OVERLAP 00 00 00 00 88") << true;
        QTest::newRow("the byte elsewhere") << QStringLiteral("00 00 00 88 E7") << false;
        QTest::newRow("dropped fragment") << QStringLiteral("PARTIAL 00 00 88") << false;
        QTest::newRow("state line") << QStringLiteral("STATE transmit 88") << false;
    }
    void isCommand()
    {
        QFETCH(QString, line);
        QFETCH(bool, matches);
        QCOMPARE(IsCommand(line.toStdString(), "88"), matches);
    }

    // A line still being written is not a line yet; what was in the file
    // before the watcher started is.
    void wholeLinesOnly()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("commands.log")).toStdString();
        FILE* file = std::fopen(path.c_str(), "w");
        QVERIFY(file);
        std::fputs("00 00 00 00 03\n00 00 00 00 ", file);
        std::fflush(file);
        LogWatcher watcher(path);
        QVERIFY(watcher.watching());
        QVERIFY(watcher.waitFor(0, "03", Clock::now() + 10s));
        QVERIFY(!watcher.waitFor(1, "88", Clock::now() + 300ms));
        std::fputs("88", file);
        std::fflush(file);
        QVERIFY(!watcher.waitFor(1, "88", Clock::now() + 300ms));
        std::fputs("\n", file);
        std::fflush(file);
        const auto unkey = watcher.waitFor(1, "88", Clock::now() + 10s);
        std::fclose(file);
        QVERIFY(unkey);
        QCOMPARE(unkey->text, std::string("00 00 00 00 88"));
        QCOMPARE(watcher.size(), std::size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestBenchParts)
#include "test_bench_parts.moc"
