// The log watcher that times commands "on the line": the simulator's
// command lines and only those, whole lines only, and it gives up at its
// deadline.

#include "log_watcher.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace std::chrono_literals;
using Clock = LogWatcher::Clock;

class TestLogWatcher : public QObject {
    Q_OBJECT
private slots:
    void isCommand_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("opcode");
        QTest::addColumn<bool>("matches");
        QTest::newRow("the opcode") << QStringLiteral("00 00 00 00 88") << QStringLiteral("88") << true;
        QTest::newRow("overlapping, still on the line") << QStringLiteral("OVERLAP 00 00 00 00 88") << QStringLiteral("88") << true;
        QTest::newRow("another opcode") << QStringLiteral("00 00 00 00 08") << QStringLiteral("88") << false;
        QTest::newRow("the byte elsewhere") << QStringLiteral("00 00 00 88 E7") << QStringLiteral("88") << false;
        QTest::newRow("half a byte") << QStringLiteral("00 00 00 00 08") << QStringLiteral("8") << false;
        QTest::newRow("dropped fragment") << QStringLiteral("PARTIAL 00 00 88") << QStringLiteral("88") << false;
        QTest::newRow("state line") << QStringLiteral("STATE transmit off") << QStringLiteral("off") << false;
    }
    void isCommand()
    {
        QFETCH(QString, line);
        QFETCH(QString, opcode);
        QFETCH(bool, matches);
        QCOMPARE(IsCommand(line.toStdString(), opcode.toStdString()), matches);
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

QTEST_GUILESS_MAIN(TestLogWatcher)
#include "test_log_watcher.moc"
