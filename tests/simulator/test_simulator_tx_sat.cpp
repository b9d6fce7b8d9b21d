// The simulator's transmit and satellite commands over its pty: command
// bytes in, reply bytes and the log's state lines out.

#include "pty_client.h"

#include <QTest>

using namespace simtest;

class TestSimulatorTxSat : public QObject {
    Q_OBJECT
private slots:
    void commands_data()
    {
        // The commands go out in one write and end with a read, so the whole
        // reply also means every command and its state lines are logged.
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("controls");
        QTest::addColumn<QString>("commands"); // hex, spaces ignored
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("states");
        const QStringList none;
        const QString main = "0142000001", down = "4359000001", up = "1459000000";

        QTest::newRow("receiving: F7 bit 7 set, no meter") << none << none << "00000000F7" << "80" << none;
        QTest::newRow("PTT on: F7 reads the power meter")
            << none << none << "0000000008 00000000F7" << "14" << QStringList{"transmit on"};
        QTest::newRow("PTT off, parameters ignored") << none << none << "0000000008 0000000188 00000000F7" << "80"
                                                     << QStringList{"transmit on", "transmit off"};
        QTest::newRow("repeats change nothing")
            << none << none << "0000000088 0000000008 0000000008 00000000F7 0000000088 0000000088 00000000F7" << "14 80"
            << QStringList{"transmit on", "transmit off"};
        QTest::newRow("panel key: F7 transmits, 88 releases nothing")
            << none << QStringList{"ptt on"} << "0000000088 00000000F7 0000000008 0000000088 00000000F7" << "14 14"
            << QStringList{"transmit on (front panel)"};
        QTest::newRow("--ptt, panel key released: receive, the CAT key as before")
            << QStringList{"--ptt"} << QStringList{"ptt off"}
            << "00000000F7 0000000008 00000000F7 0000000088 00000000F7" << "80 14 80"
            << QStringList{"transmit off (front panel)", "transmit on", "transmit off"};
        QTest::newRow("squelch closed: E7 bit 7 set, other high bits kept")
            << QStringList{"--smeter", "8", "--status-high", "60"} << QStringList{"squelch closed"} << "00000000E7"
            << "E8" << none;
        QTest::newRow("squelch open: E7 bit 7 clear")
            << QStringList{"--smeter", "8", "--status-high", "E0"} << QStringList{"squelch open"} << "00000000E7"
            << "68" << none;
        QTest::newRow("power control line")
            << none << QStringList{"power 31"} << "0000000008 00000000F7" << "1F" << QStringList{"transmit on"};

        QTest::newRow("satellite on: sub VFOs at their defaults, 03 the main VFO")
            << none << none << "000000004E 0000000013 0000000023 0000000003" << down + up + main
            << QStringList{"satellite on"};
        QTest::newRow("satellite off: sub VFO reads unanswered")
            << none << none << "123456784E 000000018E 0000000013 0000000023 0000000003" << main
            << QStringList{"satellite on", "satellite off"};
        QTest::newRow("outside satellite mode sub VFO sets ignored")
            << none << none
            << "0012345611 8200000017 0014400021 0800000027 0000000013 0000000023 000000004E 0000000013 0000000023"
            << down + up << QStringList{"satellite on"};
        QTest::newRow("in satellite mode sub VFOs set apart from the main VFO")
            << none << none
            << "000000004E 4351234011 8200000017 1455000021 0800000027 0000000013 0000000023 0000000003"
            << "4351234082 1455000008" + main << QStringList{"satellite on"};
        QTest::newRow("in satellite mode 01 and 07 set the main VFO")
            << none << none << "000000004E 0705000001 0000000007 0000000003 0000000013 0000000023"
            << "0705000000" + down + up << QStringList{"satellite on"};
        QTest::newRow("transmit and satellite apart")
            << none << none << "000000004E 0000000008 000000008E 00000000F7 0000000088 00000000F7" << "14 80"
            << QStringList{"satellite on", "transmit on", "satellite off", "transmit off"};

        QTest::newRow("FM sets on the main VFO and the repeater, unknown codes and non-BCD ignored")
            << none << none
            << "4A0000000A 3F0000000B 400000000B 075400000C 002400000C 2A0000001A 4900000009 5500000009"
               "00500000F9 0A000000F9 0000000003"
            << main
            << QStringList{"tone mode tone encoder", "tone 67.0 Hz", "DCS code 754", "shift plus", "offset 5000000 Hz"};
        QTest::newRow("every tone mode, an unknown one ignored")
            << none << none << "0A0000000A 2A0000000A 4B0000000A 8A0000000A 0000000003" << main
            << QStringList{"tone mode DCS", "tone mode tone squelch", "tone mode off"};
        QTest::newRow("shift minus and simplex, largest offset; repeats log nothing")
            << none << none << "0900000009 0900000009 8900000009 99999999F9 99999999F9 00060000F9 0000000003" << main
            << QStringList{"shift minus", "shift simplex", "offset 999999990 Hz", "offset 600000 Hz"};
        QTest::newRow("satellite VFOs keep their FM settings while the mode is off")
            << QStringList{"--satellite"} << none
            << "3F0000002B 000000008E 000000002B 000000004E 3F0000002B 000000000B 0000000023"
            << up << QStringList{"uplink tone 67.0 Hz", "satellite off", "satellite on", "tone 250.3 Hz"};
        QTest::newRow("in satellite mode FM sets go to their VFO")
            << QStringList{"--satellite"} << none << "4A0000002A 3F0000002B 0A0000001A 002500001C 0000000023"
            << up << QStringList{"uplink tone mode tone encoder", "uplink tone 67.0 Hz", "downlink tone mode DCS",
                                 "downlink DCS code 025"};
        QTest::newRow("--silent: nothing answered, every set obeyed")
            << QStringList{"--silent"} << none << "0000000008 000000004E 4A0000002A 8900000009 00000000F7" << ""
            << QStringList{"transmit on", "satellite on", "uplink tone mode tone encoder"};

        QTest::newRow("--satellite and sub VFO options")
            << QStringList{"--satellite", "--sat-rx-freq", "2400000", "--sat-rx-mode", "82", "--sat-tx-freq", "5000000",
                           "--sat-tx-mode", "88"}
            << none << "0000000013 0000000023" << "0240000082 0500000088" << none;
        QTest::newRow("satellite control lines")
            << none
            << QStringList{"satellite on", "sat-rx-freq 43512345", "sat-rx-mode 04", "sat-tx-freq 14512345",
                           "sat-tx-mode 02"}
            << "0000000013 0000000023" << "4351234504 1451234502" << QStringList{"satellite on (front panel)"};
        QTest::newRow("front panel on, 8E off") << none << QStringList{"satellite on", "satellite on"}
                                                << "000000008E 0000000013 0000000003" << main
                                                << QStringList{"satellite on (front panel)", "satellite off"};
    }

    void commands()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, controls);
        QFETCH(QString, commands);
        QFETCH(QString, reply);
        QFETCH(QStringList, states);
        Rig rig;
        // A held power meter (later options win) keeps F7 readings exact.
        QVERIFY(rig.start(QStringList{"--power", "20"} + args));
        for (const QString& line : controls)
            QVERIFY(rig.sim.send(line));
        const Bytes bytes = Bytes::fromHex(commands.toLatin1());
        const Bytes expected = Bytes::fromHex(reply.toLatin1());
        QVERIFY(rig.client.write(bytes));
        QCOMPARE(rig.client.read(int(expected.size()), 3000), expected);
        QCOMPARE(rig.client.read(1, 100), Bytes());
        // Without a reply to wait for: every row ends with a read, which makes no state line.
        QVERIFY(rig.sim.waitForLogLines(int(bytes.size() / 5), 3000));
        QCOMPARE(rig.sim.loggedStates(), states);
        QCOMPARE(rig.sim.loggedCommands().size(), bytes.size() / 5);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorTxSat)
#include "test_simulator_tx_sat.moc"
