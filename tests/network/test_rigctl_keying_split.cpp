// Keying and satellite (split) requests without sockets: the request line
// and the radio's state in, the reply and the actions queued for the radio out.

#include "protocol_table.h"

class TestRigctlKeyingSplit : public QObject {
    Q_OBJECT
private slots:
    // Every non-zero PTT value keys the one CAT PTT; whether it may is
    // decided at its turn on the line. An unkey with nothing keyed needs no turn.
    void keying_data()
    {
        AddColumns();
        AddRow("T 1 keys", "T 1", Radio::Fresh, "RPRT 0", "T1");
        AddRow("T 3 (rear data) keys", "T 3", Radio::Fresh, "RPRT 0", "T1");
        AddRow("long form", "\\set_ptt 1", Radio::Fresh, "RPRT 0", "T1");
        AddRow("with a VFO word", "T currVFO 1", Radio::Fresh, "RPRT 0", "T1");
        AddRow("extended |", "|T 1", Radio::Fresh, "set_ptt: 1|RPRT 0", "T1");
        AddRow("extended +", "+T 1", Radio::Fresh, "set_ptt: 1\nRPRT 0", "T1");
        AddRow("T 0 while keyed unkeys", "T 0", Radio::Transmitting, "RPRT 0", "T0");
        AddRow("T 0 with nothing keyed", "T 0", Radio::Fresh, "RPRT 0");
        AddRow("T 0 with the port closed", "T 0", Radio::Closed, "RPRT 0");
        AddRow("T 9", "T 9", Radio::Fresh, "RPRT -1");
        AddRow("T x", "T x", Radio::Fresh, "RPRT -1");
        AddRow("port closed", "T 1", Radio::Closed, "RPRT -6");
        AddRow("t transmitting", "t", Radio::Transmitting, "1");
        AddRow("get_ptt transmitting", "\\get_ptt", Radio::Transmitting, "1");
        AddRow("a set while keyed waits for its turn", "F 14074000", Radio::Transmitting, "RPRT 0", "F1407400");
    }
    void keying() { CheckRow(); }

    // Split is satellite mode: the downlink is the main display's VFO, the
    // uplink the one split commands and transmit VFO words name.
    void satellite_data()
    {
        AddColumns();
        AddRow("S 1 Sub", "S 1 Sub", Radio::Fresh, "RPRT 0", "S1 Sub");
        AddRow("S 1 Main", "\\set_split_vfo 1 Main", Radio::Fresh, "RPRT 0", "S1 Main");
        AddRow("S 0 VFOA", "S 0 VFOA", Radio::Satellite, "RPRT 0", "S0 VFOA");
        AddRow("S port closed", "S 1 Sub", Radio::Closed, "RPRT -6");
        AddRow("s in satellite mode", "s", Radio::Satellite, "1\nSub");
        AddRow("F with two spaces: the downlink", "F  435900000", Radio::Satellite, "RPRT 0", "F43590000");
        AddRow("F RX: the downlink", "F RX 435910000", Radio::Satellite, "RPRT 0", "F43591000");
        AddRow("F Sub: the uplink", "F Sub 145900000", Radio::Satellite, "RPRT 0", "I14590000");
        AddRow("I: the uplink", "I 145900000", Radio::Satellite, "RPRT 0", "I14590000");
        AddRow("I out of range", "I 200000000", Radio::Satellite, "RPRT -1");
        AddRow("M FM 0: the downlink", "M FM 0", Radio::Satellite, "RPRT 0", "M08");
        AddRow("X USB 0: the uplink", "X USB 0", Radio::Satellite, "RPRT 0", "X01");
        AddRow("M TX: the uplink", "M TX CW 500", Radio::Satellite, "RPRT 0", "X82");
        AddRow("f: the downlink", "f", Radio::Satellite, "435900000");
        AddRow("i: the uplink", "i", Radio::Satellite, "145900000");
        AddRow("f VFOB: the uplink", "f VFOB", Radio::Satellite, "145900000");
        AddRow("x: the uplink", "x", Radio::Satellite, "LSB\n2200");
        AddRow("m Main: the downlink", "m Main", Radio::Satellite, "FM\n15000");
        AddRow("i stale", "i", Radio::SatelliteUplinkStale, "RPRT -5");
        AddRow("f with the uplink stale", "f", Radio::SatelliteUplinkStale, "435900000");
        AddRow("+i", "+i", Radio::Satellite, "get_split_freq:\nTX Frequency: 145900000\nRPRT 0");
        // Outside satellite mode the radio has no split.
        AddRow("I outside", "I 145900000", Radio::Fresh, "RPRT -11");
        AddRow("X outside", "X USB 0", Radio::Fresh, "RPRT -11");
        AddRow("F Sub outside", "F Sub 14074000", Radio::Fresh, "RPRT -11");
        AddRow("i outside: the main VFO", "i", Radio::Fresh, "14074000");
        AddRow("vfo_opt 0", "\\set_vfo_opt 0", Radio::Fresh, "RPRT 0");
        AddRow("chk_vfo stays 0", "\\set_vfo_opt 1\n\\chk_vfo", Radio::Fresh, "RPRT -11\n0");
    }
    void satellite() { CheckRow(); }
};

QTEST_GUILESS_MAIN(TestRigctlKeyingSplit)
#include "test_rigctl_keying_split.moc"
