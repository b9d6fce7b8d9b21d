// The FT-847 simulator over its pty, seen from a plain POSIX client.

#include "pty_client.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace simtest;

namespace {
// Names the way `got` differs from the whole reply `whole`.
QString FaultKindOf(const Bytes& whole, const Bytes& got)
{
    if (got == whole)
        return "whole";
    if (got.isEmpty())
        return "missing";
    if (got == whole + char(0xFE))
        return "stray byte";
    if (whole.startsWith(got))
        return "short";
    // Inside means neither the first nor the last byte.
    for (qsizetype i = 1; i + 1 < whole.size(); ++i) {
        if (got == Bytes(whole).remove(i, 1))
            return "lose inside";
        if (got == Bytes(whole).insert(i, whole[i]))
            return "dup inside";
    }
    return "unknown " + got.toHex(' ');
}
} // namespace

class TestSimulator : public QObject {
    Q_OBJECT
private slots:
    void tuningAndModeReadBack()
    {
        Rig rig;
        QVERIFY(rig.start());
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0142000001"));

        rig.client.write(Cmd(0x00, 0x70, 0x50, 0x00, 0x01)); // 7.050.00 MHz
        rig.client.write(Cmd(0x08, 0, 0, 0, 0x07));          // FM
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0070500008"));

        // A non-decimal frequency and an unknown mode code change nothing.
        rig.client.write(Cmd(0x01, 0x4A, 0x00, 0x00, 0x01));
        rig.client.write(Cmd(0x05, 0, 0, 0, 0x07));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0070500008"));

        for (int mode : {0x00, 0x02, 0x03, 0x04, 0x82, 0x83, 0x84, 0x88, 0x01}) {
            rig.client.write(Cmd(mode, 0, 0, 0, 0x07));
            QCOMPARE(rig.client.exchange(ReadFreqMode, 30).at(4), char(mode));
        }
    }

    void startupOptionsAndControlLines()
    {
        Rig rig;
        QVERIFY(rig.start({"--freq", "99999999", "--mode", "0x84"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("9999999984"));
        QVERIFY(rig.sim.send("freq 352000"));
        QVERIFY(rig.sim.send("mode 02"));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0035200002"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused \"mode 05\""));
        QVERIFY(!rig.sim.send("mode 05"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused \"freq 123456789\""));
        QVERIFY(!rig.sim.send("freq 123456789"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused \"frobnicate\""));
        QVERIFY(!rig.sim.send("frobnicate"));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0035200002"));
    }

    void statusByte()
    {
        Rig rig;
        QVERIFY(rig.start({"--seed", "7"}));
        // Drifting meter: always 0..31 with the flag bits clear, and it moves.
        QSet<int> seen;
        for (int i = 0; i < 10; ++i) {
            const Bytes b = rig.client.exchange(ReadStatus, 30);
            QCOMPARE(b.size(), 1);
            QCOMPARE(quint8(b[0]) & 0xE0, 0);
            seen.insert(quint8(b[0]));
            QTest::qWait(70);
        }
        QVERIFY(seen.size() > 1);

        QVERIFY(rig.sim.send("smeter 31"));
        QCOMPARE(rig.client.exchange(ReadStatus), Bytes::fromHex("1F"));

        QVERIFY(rig.start({"--smeter", "17", "--status-high", "E0"}));
        QCOMPARE(rig.client.exchange(ReadStatus), Bytes::fromHex("F1"));
        QVERIFY(rig.sim.send("smeter 0"));
        QCOMPARE(rig.client.exchange(ReadStatus), Bytes::fromHex("E0"));
    }

    void logHoldsEveryCommandWhole()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.client.write(Cmd(0, 0, 0, 0, 0x00));
        rig.client.write(Cmd(0x01, 0x42, 0x00, 0x00, 0x01));
        rig.client.write(Cmd(0xAB, 0xCD, 0xEF, 0x12, 0x55)); // unknown: logged, no reply
        rig.client.write(ReadFreqMode);
        QCOMPARE(rig.client.read(5).size(), 5);
        rig.client.write(Cmd(0, 0, 0, 0, 0x80));
        QVERIFY(rig.sim.waitForLogLines(5, 2000));
        QCOMPARE(rig.sim.loggedCommands(),
                 QStringList({"00 00 00 00 00", "01 42 00 00 01", "AB CD EF 12 55", "00 00 00 00 03", "00 00 00 00 80"}));
        QCOMPARE(rig.client.read(1, 100), Bytes()); // the unknown opcode got no reply
    }

    void replyFaults()
    {
        Rig rig;
        QVERIFY(rig.start({"--short", "2"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("014200"));

        QVERIFY(rig.start({"--extra", "2"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0142000001FEFE"));

        QVERIFY(rig.start({"--silent"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes());
        rig.client.write(Cmd(0x00, 0x70, 0x50, 0x00, 0x01)); // obeyed, though nothing answers
        QVERIFY(rig.sim.send("silent off"));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0070500001"));
        QVERIFY(rig.sim.send("silent on"));
        QCOMPARE(rig.client.exchange(ReadStatus), Bytes());
        QVERIFY(rig.sim.waitForLogLines(3, 1000)); // silent still logs

        QVERIFY(rig.start({"--freeze-after", "2"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode).size(), 5);
        QCOMPARE(rig.client.exchange(ReadStatus).size(), 1);
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes());

        QVERIFY(rig.start({"--garbage-every", "2"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode).size(), 5);
        const Bytes second = rig.client.exchange(ReadFreqMode);
        QCOMPARE(second.size(), 6);
        QVERIFY(second.startsWith(Bytes::fromHex("0142000001")));
    }

    void faultRate()
    {
        Rig rig;
        QVERIFY(rig.start({"--fault-rate", "1", "--seed", "3"}));
        for (int i = 0; i < 8; ++i)
            QVERIFY(rig.client.exchange(ReadFreqMode, 30).size() != 5);

        QVERIFY(rig.start({"--fault-rate", "0"}));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.client.exchange(ReadFreqMode, 30), Bytes::fromHex("0142000001"));
    }

    void byteLostOrDoubledInside()
    {
        Rig rig;
        QVERIFY(rig.start({"--lose-inside", "--smeter", "8"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("01000001"));
        QCOMPARE(rig.client.exchange(ReadStatus), Bytes()); // a one-byte reply is lost whole

        QVERIFY(rig.start({"--dup-inside", "--smeter", "8"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("014242000001"));
        QCOMPARE(rig.client.exchange(ReadStatus), Bytes::fromHex("0808"));

        // Paced, the doubled byte still goes out in the middle of the reply.
        QVERIFY(rig.start({"--dup-inside", "--baud", "9600", "--freq", "12345678"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("123434567801"));
        QVERIFY(rig.start({"--lose-inside", "--baud", "9600", "--freq", "12345678"}));
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("12567801"));
    }

    void faultRatePicksEveryKind()
    {
        Rig rig;
        // A held S-meter leaves the seeded generator to the faults alone.
        QVERIFY(rig.start({"--fault-rate", "1", "--seed", "11", "--freq", "12345678", "--smeter", "8"}));
        const Bytes whole = Bytes::fromHex("1234567801");
        QMap<QString, int> kinds;
        for (int i = 0; i < 60; ++i)
            ++kinds[FaultKindOf(whole, rig.client.exchange(ReadFreqMode, 30))];
        QCOMPARE(kinds.keys().join(", "), QString("dup inside, lose inside, missing, short, stray byte"));
    }

    void partialFrames()
    {
        Rig rig;
        QVERIFY(rig.start({"--resync-ms", "50"}));
        // Pieces arriving close together still make one command.
        rig.client.write(Bytes::fromHex("0000"));
        QTest::qWait(10);
        QCOMPARE(rig.client.exchange(Bytes::fromHex("000003")), Bytes::fromHex("0142000001"));

        // A stale fragment is dropped, so the next command is framed right.
        rig.client.write(Bytes::fromHex("0142"));
        QTest::qWait(150);
        QCOMPARE(rig.client.exchange(ReadFreqMode), Bytes::fromHex("0142000001"));
        QVERIFY(rig.sim.waitForLogLines(3, 1000));
        QCOMPARE(rig.sim.loggedCommands().mid(1), QStringList({"PARTIAL 01 42", "00 00 00 00 03"}));
        QCOMPARE(rig.sim.loggedPartials(), 1);
        QCOMPARE(rig.sim.loggedOverlaps(), 0);

        // Paced at 300 baud, a command's bytes arrive 33 ms apart and make one
        // command; a fragment left alone still goes stale.
        QVERIFY(rig.start({"--baud", "300", "--resync-ms", "50"}));
        rig.client.write(Bytes::fromHex("0142"));
        QTest::qWait(200);
        QCOMPARE(rig.client.exchange(ReadFreqMode, 400), Bytes::fromHex("0142000001"));
        QVERIFY(rig.sim.waitForLogLines(2, 1000));
        QCOMPARE(rig.sim.loggedCommands(), QStringList({"PARTIAL 01 42", "00 00 00 00 03"}));
    }

    void hostBytesTakenAtLineRate_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("paced");
        // 200 bytes are about 417 ms of line at 4800 baud, and 100 s at 20 baud.
        QTest::newRow("4800 baud") << QStringList{"--baud", "4800"} << true;
        QTest::newRow("20 baud, fast input") << QStringList{"--baud", "20", "--fast-input"} << false;
    }

    void hostBytesTakenAtLineRate()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, paced);
        Rig rig;
        QVERIFY(rig.start(args));
        // Forty frequency settings, which get no reply, in one write.
        Bytes commands;
        QStringList expected;
        for (int i = 0; i < 40; ++i) {
            const Bytes command = Cmd(0x07, 0x00, 0x00, (i / 10) << 4 | i % 10, 0x01);
            commands += command;
            expected << QString::fromLatin1(command.toHex(' ').toUpper());
        }
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.client.write(commands));
        if (paced) // the line has carried a few bytes at most
            QVERIFY(rig.sim.loggedCommands().size() < 40);
        QVERIFY(rig.sim.waitForLogLines(40, 10000));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(rig.sim.loggedCommands(), expected);
        if (paced) // the last command is taken no sooner than its last byte could arrive
            QVERIFY2(elapsed >= 416, qPrintable(QString::number(elapsed)));
    }

    void pacingAndDelay()
    {
        Rig rig;
        QVERIFY(rig.start({"--baud", "4800"}));
        QElapsedTimer clock;
        clock.start();
        rig.client.write(ReadFreqMode);
        QCOMPARE(rig.client.read(5), Bytes::fromHex("0142000001"));
        QVERIFY2(clock.elapsed() >= 20, qPrintable(QString::number(clock.elapsed()))); // five bytes each way at 4800 baud

        QVERIFY(rig.start({"--delay-ms", "80"}));
        clock.restart();
        rig.client.write(ReadStatus);
        QCOMPARE(rig.client.read(1).size(), 1);
        QVERIFY(clock.elapsed() >= 75);
    }

    void overlapIsLogged()
    {
        Rig rig;
        QVERIFY(rig.start({"--baud", "300", "--smeter", "8"})); // 5 bytes take about 167 ms
        rig.client.write(ReadFreqMode);
        QCOMPARE(rig.client.read(1, 2000), Bytes::fromHex("01"));
        rig.client.write(ReadStatus); // while the rest of the first reply is still going out
        QCOMPARE(rig.client.read(5, 2000), Bytes::fromHex("4200000108"));
        QCOMPARE(rig.client.exchange(ReadStatus, 400), Bytes::fromHex("08"));
        QVERIFY(rig.sim.waitForLogLines(3, 1000));
        QCOMPARE(rig.sim.loggedCommands(),
                 QStringList({"00 00 00 00 03", "OVERLAP 00 00 00 00 E7", "00 00 00 00 E7"}));
    }

    void pacedReplyOverlapAt4800()
    {
        Rig rig;
        QVERIFY(rig.start({"--baud", "4800", "--smeter", "8"}));
        // Two commands in one write: the second arrives as the first reply starts out.
        rig.client.write(ReadFreqMode + ReadStatus);
        QCOMPARE(rig.client.read(6, 2000), Bytes::fromHex("014200000108"));
        QVERIFY(rig.sim.waitForLogLines(2, 1000));
        QCOMPARE(rig.sim.loggedCommands(), QStringList({"00 00 00 00 03", "OVERLAP 00 00 00 00 E7"}));

        // 205 reply bytes keep the line busy for over 400 ms after the first arrives.
        QVERIFY(rig.start({"--baud", "4800", "--smeter", "8", "--extra", "200"}));
        rig.client.write(ReadFreqMode);
        QCOMPARE(rig.client.read(1, 2000), Bytes::fromHex("01"));
        rig.client.write(ReadStatus);
        QCOMPARE(rig.client.read(204 + 201, 5000).size(), 204 + 201);
        // Once the line is quiet, the next command is clean.
        QCOMPARE(rig.client.exchange(ReadStatus).size(), 201);
        QVERIFY(rig.sim.waitForLogLines(3, 1000));
        QCOMPARE(rig.sim.loggedCommands(),
                 QStringList({"00 00 00 00 03", "OVERLAP 00 00 00 00 E7", "00 00 00 00 E7"}));
        QCOMPARE(rig.sim.loggedOverlaps(), 1);
        QCOMPARE(rig.sim.loggedPartials(), 0);
    }

    void deviceLifetime()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("ft847");
        Rig rig;
        QVERIFY(rig.start({"--link", link}));
        QCOMPARE(QFileInfo(link).symLinkTarget(), rig.sim.device());
        QVERIFY(rig.client.open(link));
        QCOMPARE(rig.client.exchange(ReadStatus).size(), 1);
        // The simulator holds the pty, so a client may close and come back.
        rig.client.close();
        QVERIFY(rig.client.open(rig.sim.device()));
        QCOMPARE(rig.client.exchange(ReadFreqMode).size(), 5);
        rig.sim.stop();
        QVERIFY(!QFileInfo::exists(link));
        QVERIFY(!QFileInfo(link).isSymLink());

        QVERIFY(rig.start({"--exit-after-ms", "100", "--link", link}));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.sim.isRunning(), 2000);
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(!rig.client.open(rig.sim.device()) || rig.client.exchange(ReadStatus).isEmpty());

        QVERIFY(rig.start());
        QVERIFY(rig.sim.send("quit"));
        QVERIFY(!rig.sim.isRunning());
    }

    void endOfStdinKeepsRunning()
    {
        QTemporaryDir dir;
        QProcess sim;
        sim.setStandardInputFile(QProcess::nullDevice());
        sim.start(SimProcess::program(), {"--log", dir.filePath("log")});
        QVERIFY(sim.waitForReadyRead(5000));
        const QByteArray line = sim.readLine().trimmed();
        QVERIFY(line.startsWith("DEVICE /dev/"));
        QVERIFY(!sim.waitForFinished(300));
        Client client;
        QVERIFY(client.open(QString::fromLocal8Bit(line.mid(7))));
        QCOMPARE(client.exchange(ReadFreqMode), Bytes::fromHex("0142000001"));
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
    }

    void commandLine()
    {
        QProcess help;
        help.start(SimProcess::program(), {"--help"});
        QVERIFY(help.waitForFinished(3000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
        for (const char* option : {"--link", "--log", "--freq", "--mode", "--smeter", "--status-high", "--resync-ms",
                                   "--silent", "--short", "--extra", "--lose-inside", "--dup-inside", "--delay-ms", "--baud", "--fast-input", "--garbage-every",
                                   "--fault-rate", "--seed", "--freeze-after", "--exit-after-ms", "--power", "--satellite",
                                   "--sat-rx-freq", "--sat-rx-mode", "--sat-tx-freq", "--sat-tx-mode", "--ptt", "--squelch"})
            QVERIFY2(text.contains(QLatin1String(option)), option);

        for (const QStringList& bad : {QStringList{"--mode", "05"}, QStringList{"--smeter", "32"},
                                       QStringList{"--status-high", "1F"}, QStringList{"--fault-rate", "2"},
                                       QStringList{"--baud"}, QStringList{"--bogus"},
                                       QStringList{"--lose-inside", "--dup-inside"}, QStringList{"--power", "32"},
                                       QStringList{"--sat-rx-mode", "05"}, QStringList{"--sat-tx-freq", "100000000"},
                                       QStringList{"--squelch", "half"}}) {
            QProcess sim;
            sim.start(SimProcess::program(), bad);
            QVERIFY(sim.waitForFinished(3000));
            QVERIFY2(sim.exitCode() != 0, qPrintable(bad.join(' ')));
            QVERIFY(!sim.readAllStandardOutput().contains("DEVICE"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "test_simulator.moc"
