// Keying and satellite (split) requests without sockets: the request line
// and the radio's state in, the reply and the actions queued for the radio
// out; the FM settings all the way to the CAT bytes their turn sends.

#include "protocol_table.h"
#include "transceiver_backend.h"
#include "turn_rules.h"

namespace {

// Each request answered from the snapshot; each set decided at its turn,
// with the transmitter keyed by another when the radio transmits.
std::pair<QString, QString> ToTheLine(const std::string& line, Radio radio)
{
    const RigSnapshot snapshot = SnapshotOf(radio);
    radio::TurnState state;
    state.satellite = snapshot.satellite;
    if (snapshot.transmitting) {
        state.tx = radio::Tx::OnAir;
        state.holder = 2;
    }
    QStringList replies;
    QStringList sent;
    for (const auto& request : rigctl::Session().Split(line)) {
        const rigctl::Answer answer = rigctl::Respond(request, snapshot);
        std::string reply = answer.reply;
        if (answer.set) {
            const auto turn = radio::DecideTurn(RadioRequestOf(*answer.set), 1, true, state);
            if (turn.bytes)
                sent << QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(turn.bytes->data()), 5).toHex(' ')).toUpper();
            reply = rigctl::SetReply(request, turn.bytes ? ActionResult::Done : ActionResultOf(turn.answer));
        }
        replies << QString::fromStdString(reply).trimmed();
    }
    return {replies.join('\n'), sent.join(QStringLiteral(", "))};
}

} // namespace

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

    // Tones go to the main VFO, or in satellite mode to the uplink unless a
    // receive VFO is named; shift and offset have one form and wait for receive.
    void fmSettings_data()
    {
        AddColumns(); // "sets": the CAT bytes sent
        AddRow("U TONE 1", "U TONE 1", Radio::Fresh, "RPRT 0", "4A 00 00 00 0A");
        AddRow("set_func CSQL 1", "\\set_func CSQL 1", Radio::Fresh, "RPRT 0", "0A 00 00 00 0A");
        AddRow("U TONE 0: one tone mode, off", "U TONE 0", Radio::Fresh, "RPRT 0", "8A 00 00 00 0A");
        AddRow("a function the radio lacks", "U NB 1", Radio::Fresh, "RPRT -11");
        AddRow("no function", "U HUM 1", Radio::Fresh, "RPRT -1");
        AddRow("status not a number", "U TONE on", Radio::Fresh, "RPRT -1");
        AddRow("C 885", "C 885", Radio::Fresh, "RPRT 0", "0E 00 00 00 0B");
        AddRow("tone not the radio's", "C 886", Radio::Fresh, "RPRT -1");
        AddRow("D 23", "D 23", Radio::Fresh, "RPRT 0", "00 23 00 00 0C");
        AddRow("set_dcs_sql 754", "\\set_dcs_sql 754", Radio::Fresh, "RPRT 0", "07 54 00 00 0C");
        AddRow("code not standard", "D 24", Radio::Fresh, "RPRT -1");
        AddRow("R +", "R +", Radio::Fresh, "RPRT 0", "49 00 00 00 09");
        AddRow("R -", "\\set_rptr_shift -", Radio::Fresh, "RPRT 0", "09 00 00 00 09");
        AddRow("R None: simplex", "R None", Radio::Fresh, "RPRT 0", "89 00 00 00 09");
        AddRow("O 600000", "O 600000", Radio::Fresh, "RPRT 0", "00 06 00 00 F9");
        AddRow("O cut to 10 Hz", "\\set_rptr_offs 7600009", Radio::Fresh, "RPRT 0", "00 76 00 00 F9");
        AddRow("O past eight digits", "O 1000000000", Radio::Fresh, "RPRT -1");
        AddRow("O negative", "O -600000", Radio::Fresh, "RPRT -1");
        AddRow("port closed", "C 885", Radio::Closed, "RPRT -6");
        AddRow("the radio cannot report them", "c d r o u TONE \\get_ctcss_sql \\get_dcs_sql", Radio::Fresh,
               "RPRT -11\nRPRT -11\nRPRT -11\nRPRT -11\nRPRT -11\nRPRT -11\nRPRT -11");
        AddRow("Sub outside satellite mode", "C Sub 670", Radio::Fresh, "RPRT -11");
        AddRow("Main outside satellite mode", "C Main 670", Radio::Fresh, "RPRT 0", "3F 00 00 00 0B");
        AddRow("no word: the uplink", "C 670", Radio::Satellite, "RPRT 0", "3F 00 00 00 2B");
        AddRow("Sub: the uplink", "U Sub TONE 1", Radio::Satellite, "RPRT 0", "4A 00 00 00 2A");
        AddRow("Main: the downlink", "U Main TSQL 1", Radio::Satellite, "RPRT 0", "2A 00 00 00 1A");
        AddRow("R in satellite mode", "R Sub +", Radio::Satellite, "RPRT 0", "49 00 00 00 09");
        AddRow("R while keyed", "R +", Radio::Transmitting, "RPRT -9");
        AddRow("O while keyed", "O 600000", Radio::Transmitting, "RPRT -9");
        AddRow("a tone while keyed", "C 885 U TONE 1", Radio::Transmitting, "RPRT 0\nRPRT 0",
               "0E 00 00 00 0B, 4A 00 00 00 0A");
    }
    void fmSettings()
    {
        QFETCH(QByteArray, line);
        QFETCH(Radio, radio);
        QFETCH(QString, reply);
        QFETCH(QString, sets);
        const auto [replies, sent] = ToTheLine(line.toStdString(), radio);
        QCOMPARE(replies, reply);
        QCOMPARE(sent, sets);
    }
};

QTEST_GUILESS_MAIN(TestRigctlKeyingSplit)
#include "test_rigctl_keying_split.moc"
