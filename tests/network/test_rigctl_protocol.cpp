// The rig-control protocol without sockets: request lines in, reply lines
// and radio commands out, for the radio in each state a client can meet.

#include "fake_rig_backend.h" // ActionText
#include "rigctl_dump_state.h"
#include "rigctl_protocol.h"
#include "rigctl_smeter.h"

#include "cat_protocol.h"

#include <QTest>

using rigctl::SetAction;

namespace {

enum class Radio {
    Fresh, OneSecond, Stale, TwoSeconds, Silent, Closed, NoReading, NarrowCw, UnknownMode,
    Transmitting, Satellite, SatelliteUplinkStale, SatelliteClosed, MeterNotYetRead
};

RigSnapshot SnapshotOf(Radio radio)
{
    RigSnapshot s;
    s.portOpen = true;
    s.haveReading = true;
    s.readingAgeMs = 200;
    s.frequency10Hz = 1407400;
    s.modeCode = 0x01;
    s.sMeterRaw = 16;
    switch (radio) {
    case Radio::Fresh:
        break;
    case Radio::OneSecond: // the oldest reading still fresh
        s.readingAgeMs = 1000;
        break;
    case Radio::Stale: // just past fresh
        s.readingAgeMs = 1001;
        break;
    case Radio::TwoSeconds: // the longest silence before "off"
        s.readingAgeMs = 2000;
        break;
    case Radio::Silent:
        s.readingAgeMs = 2001;
        break;
    case Radio::Closed:
        s.portOpen = false;
        break;
    case Radio::NoReading:
        s.haveReading = false;
        s.readingAgeMs = -1;
        break;
    case Radio::NarrowCw:
        s.modeCode = 0x82;
        break;
    case Radio::UnknownMode:
        s.modeCode = 0x0A;
        break;
    case Radio::Transmitting:
        s.transmitting = true;
        break;
    case Radio::MeterNotYetRead: // the round's frequency is in, its meter not yet
        break;
    case Radio::Satellite:
    case Radio::SatelliteUplinkStale:
    case Radio::SatelliteClosed:
        // The downlink on 435.900 MHz FM, the uplink on 145.900 MHz LSB.
        s.satellite = true;
        s.satelliteTxVfo = "Sub";
        s.frequency10Hz = 43590000;
        s.modeCode = 0x08;
        s.haveUplinkReading = true;
        s.uplinkAgeMs = radio == Radio::SatelliteUplinkStale ? 1001 : 300;
        s.uplinkFrequency10Hz = 14590000;
        s.uplinkModeCode = 0x00;
        s.portOpen = radio != Radio::SatelliteClosed;
        break;
    }
    s.meterAgeMs = radio == Radio::MeterNotYetRead ? -1 : s.readingAgeMs;
    return s;
}

struct Outcome {
    QString reply;  // without the final line end
    QString sets;   // "F1407405 M82": what went to the radio's queue
    bool closed = false;
};

// Answers a line as a connection would, with every set reported sent.
Outcome Exchange(rigctl::Session& session, const std::string& line, const RigSnapshot& radio)
{
    std::string text;
    QStringList sets;
    Outcome outcome;
    for (const auto& request : session.Split(line)) {
        const rigctl::Answer answer = rigctl::Respond(request, radio);
        if (answer.close) {
            outcome.closed = true;
            text += answer.reply;
            break;
        }
        if (answer.set) {
            if (!answer.reply.empty())
                text += "<set replied before it was sent>\n";
            sets << ActionText(*answer.set);
            text += rigctl::SetReply(request, ActionResult::Done);
        } else {
            if (answer.reply.empty() || answer.reply.back() != '\n')
                text += "<reply without its line end>\n";
            text += answer.reply;
        }
    }
    if (!text.empty())
        text.pop_back();
    outcome.reply = QString::fromStdString(text);
    outcome.sets = sets.join(' ');
    return outcome;
}

// Answers each line of `lines` (separated by '\n') in turn on one session.
Outcome ExchangeOnce(const std::string& lines, Radio radio)
{
    rigctl::Session session;
    QStringList replies;
    QStringList sets;
    Outcome outcome;
    for (const QByteArray& line : QByteArray::fromStdString(lines).split('\n')) {
        const Outcome one = Exchange(session, line.toStdString(), SnapshotOf(radio));
        replies << one.reply;
        sets << one.sets;
        outcome.closed = outcome.closed || one.closed;
    }
    sets.removeAll(QString());
    outcome.reply = replies.join('\n');
    outcome.sets = sets.join(' ');
    return outcome;
}

} // namespace

Q_DECLARE_METATYPE(Radio)

class TestRigctlProtocol : public QObject {
    Q_OBJECT
private:
    void columns()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Radio>("radio");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("sets");
    }
    void row(const char* name, const char* line, Radio radio, const char* reply, const char* sets = "")
    {
        QTest::newRow(name) << QByteArray(line) << radio << QString::fromLatin1(reply)
                            << QString::fromLatin1(sets);
    }
    void check()
    {
        QFETCH(QByteArray, line);
        QFETCH(Radio, radio);
        QFETCH(QString, reply);
        QFETCH(QString, sets);
        const Outcome outcome = ExchangeOnce(line.toStdString(), radio);
        QCOMPARE(outcome.reply, reply);
        QCOMPARE(outcome.sets, sets);
    }

private slots:
    void reads_data()
    {
        columns();
        row("f", "f", Radio::Fresh, "14074000");
        row("get_freq", "\\get_freq", Radio::Fresh, "14074000");
        row("f 1 s old", "f", Radio::OneSecond, "14074000");
        row("f stale", "f", Radio::Stale, "RPRT -5");
        row("f port closed", "f", Radio::Closed, "RPRT -5");
        row("f before any reading", "f", Radio::NoReading, "RPRT -5");
        row("m", "m", Radio::Fresh, "USB\n2200");
        row("m narrow CW", "\\get_mode", Radio::NarrowCw, "CW\n500");
        row("m stale", "m", Radio::Stale, "RPRT -5");
        row("m code without a name", "m", Radio::UnknownMode, "RPRT -8");
        row("v", "v", Radio::Fresh, "VFOA");
        row("t", "t", Radio::Fresh, "0");
        row("s", "s", Radio::Fresh, "0\nVFOA");
        row("s long", "\\get_split_vfo", Radio::Fresh, "0\nVFOA");
        row("powerstat fresh", "\\get_powerstat", Radio::Fresh, "1");
        row("powerstat just stale", "\\get_powerstat", Radio::Stale, "1");
        row("powerstat 2 s quiet", "\\get_powerstat", Radio::TwoSeconds, "1");
        row("powerstat silent", "\\get_powerstat", Radio::Silent, "0");
        row("powerstat closed", "\\get_powerstat", Radio::Closed, "0");
        row("powerstat no reading", "\\get_powerstat", Radio::NoReading, "0");
        row("chk_vfo", "\\chk_vfo", Radio::Fresh, "0");
        row("lock mode", "\\get_lock_mode", Radio::Fresh, "0\nRPRT 0");
        row("lock mode, port closed", "\\get_lock_mode", Radio::Closed, "0\nRPRT 0");
        row("RAWSTR", "l RAWSTR", Radio::Fresh, "16");
        row("STRENGTH", "l STRENGTH", Radio::Fresh, "0");
        row("RAWSTR stale", "l RAWSTR", Radio::Stale, "RPRT -5");
        row("RAWSTR before the meter is read", "l RAWSTR", Radio::MeterNotYetRead, "RPRT -5");
        row("other level", "l SWR", Radio::Fresh, "RPRT -11");
        row("level missing", "l", Radio::Fresh, "RPRT -1");
        row("VFO word ignored", "f VFOA", Radio::Fresh, "14074000");
        row("VFO word on m", "m currVFO", Radio::Fresh, "USB\n2200");
    }
    void reads() { check(); }

    void frequencySets_data()
    {
        columns();
        row("whole Hz", "F 14074000", Radio::Fresh, "RPRT 0", "F1407400");
        row("cut to 10 Hz", "F 14074055", Radio::Fresh, "RPRT 0", "F1407405");
        row("float", "F 14074000.000000", Radio::Fresh, "RPRT 0", "F1407400");
        row("exponent", "F 1.4074E7", Radio::Fresh, "RPRT 0", "F1407400");
        row("exponent, 10 Hz digits", "F 1.407405E7", Radio::Fresh, "RPRT 0", "F1407405");
        row("long form", "\\set_freq 7074000", Radio::Fresh, "RPRT 0", "F707400");
        row("VFO word first", "F VFOA 14074000", Radio::Fresh, "RPRT 0", "F1407400");
        row("lowest", "F 100000", Radio::Fresh, "RPRT 0", "F10000");
        row("2 m", "F 145500000", Radio::Fresh, "RPRT 0", "F14550000");
        row("below", "F 99999", Radio::Fresh, "RPRT -1");
        row("gap", "F 80000000", Radio::Fresh, "RPRT -1");
        row("above", "F 512000010", Radio::Fresh, "RPRT -1");
        row("negative", "F -14074000", Radio::Fresh, "RPRT -1");
        row("huge", "F 1e300", Radio::Fresh, "RPRT -1");
        row("nan", "F nan", Radio::Fresh, "RPRT -1");
        row("trailing junk", "F 14074000Hz", Radio::Fresh, "RPRT -1");
        row("not a number", "F abc", Radio::Fresh, "RPRT -1");
        row("missing", "F", Radio::Fresh, "RPRT -1");
        row("port closed", "F 14074000", Radio::Closed, "RPRT -6");
        row("radio silent still sends", "F 14074000", Radio::Silent, "RPRT 0", "F1407400");
    }
    void frequencySets() { check(); }

    void modeSets_data()
    {
        columns();
        row("USB normal", "M USB 0", Radio::Fresh, "RPRT 0", "M01");
        row("USB wide", "M USB 2400", Radio::Fresh, "RPRT 0", "M01");
        row("USB no narrow", "M USB 500", Radio::Fresh, "RPRT 0", "M01");
        row("LSB keep", "M LSB -1", Radio::NarrowCw, "RPRT 0", "M00");
        row("CW 500 narrow", "M CW 500", Radio::Fresh, "RPRT 0", "M82");
        row("CW 501 normal", "M CW 501", Radio::Fresh, "RPRT 0", "M02");
        row("CW normal", "M CW 0", Radio::NarrowCw, "RPRT 0", "M02");
        row("CW keep normal", "M CW -1", Radio::Fresh, "RPRT 0", "M02");
        row("CW keep narrow", "M CW -1", Radio::NarrowCw, "RPRT 0", "M82");
        row("CWR narrow", "M CWR 250", Radio::Fresh, "RPRT 0", "M83");
        row("AM narrow", "M AM 2200", Radio::Fresh, "RPRT 0", "M84");
        row("AM normal", "M AM 6000", Radio::Fresh, "RPRT 0", "M04");
        row("FM narrow", "M FM 9000", Radio::Fresh, "RPRT 0", "M88");
        row("FM normal", "M FM 15000", Radio::Fresh, "RPRT 0", "M08");
        row("PKTUSB", "M PKTUSB 0", Radio::Fresh, "RPRT 0", "M01");
        row("PKTLSB", "M PKTLSB 3000", Radio::Fresh, "RPRT 0", "M00");
        row("PKTFM narrow", "M PKTFM 9000", Radio::Fresh, "RPRT 0", "M88");
        row("long form", "\\set_mode AM 0", Radio::Fresh, "RPRT 0", "M04");
        row("unknown mode", "M RTTY 0", Radio::Fresh, "RPRT -1");
        row("lower case", "M usb 0", Radio::Fresh, "RPRT -1");
        row("passband missing", "M CW", Radio::Fresh, "RPRT -1");
        row("passband not a number", "M CW wide", Radio::Fresh, "RPRT -1");
        row("negative passband", "M CW -2", Radio::Fresh, "RPRT -1");
        row("port closed", "M CW 500", Radio::Closed, "RPRT -6");
    }
    void modeSets() { check(); }

    void refusedSets_data()
    {
        columns();
        row("VFOA", "V VFOA", Radio::Fresh, "RPRT 0");
        row("current VFO", "\\set_vfo currVFO", Radio::Fresh, "RPRT 0");
        row("VFOB", "V VFOB", Radio::Fresh, "RPRT -11");
        row("not a VFO", "V 7", Radio::Fresh, "RPRT -1");
        row("ptt 4", "T 4", Radio::Fresh, "RPRT -1");
        row("ptt missing", "T", Radio::Fresh, "RPRT -1");
        row("split bad VFO", "S 0 here", Radio::Fresh, "RPRT -1");
        row("split VFO missing", "S 0", Radio::Fresh, "RPRT -1");
    }
    void refusedSets() { check(); }

    // Every non-zero PTT value keys the one CAT PTT; whether it may is
    // decided at its turn on the line. An unkey with nothing keyed needs no turn.
    void keying_data()
    {
        columns();
        row("T 1 keys", "T 1", Radio::Fresh, "RPRT 0", "T1");
        row("T 3 (rear data) keys", "T 3", Radio::Fresh, "RPRT 0", "T1");
        row("long form", "\\set_ptt 1", Radio::Fresh, "RPRT 0", "T1");
        row("with a VFO word", "T currVFO 1", Radio::Fresh, "RPRT 0", "T1");
        row("extended |", "|T 1", Radio::Fresh, "set_ptt: 1|RPRT 0", "T1");
        row("extended +", "+T 1", Radio::Fresh, "set_ptt: 1\nRPRT 0", "T1");
        row("T 0 while keyed unkeys", "T 0", Radio::Transmitting, "RPRT 0", "T0");
        row("T 0 with nothing keyed", "T 0", Radio::Fresh, "RPRT 0");
        row("T 0 with the port closed", "T 0", Radio::Closed, "RPRT 0");
        row("T 9", "T 9", Radio::Fresh, "RPRT -1");
        row("T x", "T x", Radio::Fresh, "RPRT -1");
        row("port closed", "T 1", Radio::Closed, "RPRT -6");
        row("t transmitting", "t", Radio::Transmitting, "1");
        row("get_ptt transmitting", "\\get_ptt", Radio::Transmitting, "1");
        row("a set while keyed waits for its turn", "F 14074000", Radio::Transmitting, "RPRT 0", "F1407400");
    }
    void keying() { check(); }

    // Split is satellite mode: the downlink is the main display's VFO, the
    // uplink the one split commands and transmit VFO words name.
    void satellite_data()
    {
        columns();
        row("S 1 Sub", "S 1 Sub", Radio::Fresh, "RPRT 0", "S1 Sub");
        row("S 1 Main", "\\set_split_vfo 1 Main", Radio::Fresh, "RPRT 0", "S1 Main");
        row("S 0 VFOA", "S 0 VFOA", Radio::Satellite, "RPRT 0", "S0 VFOA");
        row("S port closed", "S 1 Sub", Radio::Closed, "RPRT -6");
        row("s in satellite mode", "s", Radio::Satellite, "1\nSub");
        row("F with two spaces: the downlink", "F  435900000", Radio::Satellite, "RPRT 0", "F43590000");
        row("F RX: the downlink", "F RX 435910000", Radio::Satellite, "RPRT 0", "F43591000");
        row("F Sub: the uplink", "F Sub 145900000", Radio::Satellite, "RPRT 0", "I14590000");
        row("I: the uplink", "I 145900000", Radio::Satellite, "RPRT 0", "I14590000");
        row("I out of range", "I 200000000", Radio::Satellite, "RPRT -1");
        row("M FM 0: the downlink", "M FM 0", Radio::Satellite, "RPRT 0", "M08");
        row("X USB 0: the uplink", "X USB 0", Radio::Satellite, "RPRT 0", "X01");
        row("M TX: the uplink", "M TX CW 500", Radio::Satellite, "RPRT 0", "X82");
        row("f: the downlink", "f", Radio::Satellite, "435900000");
        row("i: the uplink", "i", Radio::Satellite, "145900000");
        row("f VFOB: the uplink", "f VFOB", Radio::Satellite, "145900000");
        row("x: the uplink", "x", Radio::Satellite, "LSB\n2200");
        row("m Main: the downlink", "m Main", Radio::Satellite, "FM\n15000");
        row("i stale", "i", Radio::SatelliteUplinkStale, "RPRT -5");
        row("f with the uplink stale", "f", Radio::SatelliteUplinkStale, "435900000");
        row("+i", "+i", Radio::Satellite, "get_split_freq:\nTX Frequency: 145900000\nRPRT 0");
        // Outside satellite mode the radio has no split.
        row("I outside", "I 145900000", Radio::Fresh, "RPRT -11");
        row("X outside", "X USB 0", Radio::Fresh, "RPRT -11");
        row("F Sub outside", "F Sub 14074000", Radio::Fresh, "RPRT -11");
        row("i outside: the main VFO", "i", Radio::Fresh, "14074000");
        row("vfo_opt 0", "\\set_vfo_opt 0", Radio::Fresh, "RPRT 0");
        row("chk_vfo stays 0", "\\set_vfo_opt 1\n\\chk_vfo", Radio::Fresh, "RPRT -11\n0");
    }
    void satellite() { check(); }

    void lines_data()
    {
        columns();
        row("logger poll", "fmv", Radio::Fresh, "14074000\nUSB\n2200\nVFOA");
        row("spaced", "f m  v", Radio::Fresh, "14074000\nUSB\n2200\nVFOA");
        row("tab and CR", "\tf\r", Radio::Fresh, "14074000");
        row("set then read", "F 7074000 f", Radio::Fresh, "RPRT 0\n14074000", "F707400");
        row("two sets", "F 7074000 M CW 500", Radio::Fresh, "RPRT 0\nRPRT 0", "F707400 M82");
        row("unknown ends the line", "fYm", Radio::Fresh, "14074000\nRPRT -11");
        row("unknown letter", "Y", Radio::Fresh, "RPRT -11");
        row("unknown long", "\\set_rit 100", Radio::Fresh, "RPRT -11");
        row("refused set, then another", "V VFOB F 14074000", Radio::Fresh, "RPRT -11\nRPRT 0", "F1407400");
        row("missing argument", "f F", Radio::Fresh, "14074000\nRPRT -1");
        row("empty", "", Radio::Fresh, "RPRT -1");
        row("blank", "   ", Radio::Fresh, "RPRT -1");
        row("control bytes", "\x01\x02\x7f", Radio::Fresh, "RPRT -11");
        row("high bytes", "\xff\xfe f", Radio::Fresh, "RPRT -11");
        row("backslash alone", "\\", Radio::Fresh, "RPRT -11");
    }
    void lines() { check(); }

    void extended_data()
    {
        columns();
        row("+f", "+f", Radio::Fresh, "get_freq:\nFrequency: 14074000\nRPRT 0");
        row(";f", ";f", Radio::Fresh, "get_freq:;Frequency: 14074000;RPRT 0");
        row("|m", "|m", Radio::Fresh, "get_mode:|Mode: USB|Passband: 2200|RPRT 0");
        row(",s", ",s", Radio::Fresh, "get_split_vfo:,Split: 0,TX VFO: VFOA,RPRT 0");
        row("+long", "+\\get_vfo", Radio::Fresh, "get_vfo:\nVFO: VFOA\nRPRT 0");
        row("+lock mode", "+\\get_lock_mode", Radio::Fresh, "get_lock_mode:\nLocked: 0\nRPRT 0");
        row("+set echoes arguments", "+F 14074055", Radio::Fresh, "set_freq: 14074055\nRPRT 0", "F1407405");
        row(";set", ";M CW 500", Radio::Fresh, "set_mode: CW 500;RPRT 0", "M82");
        row("+level", "+l RAWSTR", Radio::Fresh, "get_level: RAWSTR\nLevel Value: 16\nRPRT 0");
        row("+stale", "+f", Radio::Stale, "get_freq:\nRPRT -5");
        row("+refused", "+V VFOB", Radio::Fresh, "set_vfo: VFOB\nRPRT -11");
        row("+unknown", "+Y", Radio::Fresh, "RPRT -11");
        row("prefix alone", "+", Radio::Fresh, "RPRT -1");
        // A prefix shapes the one request it starts; several lines are
        // answered in turn on one session.
        row("+fm: m is plain", "+fm", Radio::Fresh, "get_freq:\nFrequency: 14074000\nRPRT 0\nUSB\n2200");
        row("+f+m", "+f+m", Radio::Fresh,
            "get_freq:\nFrequency: 14074000\nRPRT 0\nget_mode:\nMode: USB\nPassband: 2200\nRPRT 0");
        row("+stream_caps, then f", "+\\stream_caps\nf", Radio::Fresh, "RPRT -11\n14074000");
        row(";v, then t", ";v\nt", Radio::Fresh, "get_vfo:;VFO: VFOA;RPRT 0\n0");
        row("+ refused, then v", "+V VFOB\nv", Radio::Fresh, "set_vfo: VFOB\nRPRT -11\nVFOA");
        row("+ set, then f", "+F 14074055\nf", Radio::Fresh, "set_freq: 14074055\nRPRT 0\n14074000", "F1407405");
        row("prefix alone, then f", "+\nf", Radio::Fresh, "RPRT -1\n14074000");
    }
    void extended() { check(); }

    // Acknowledged, so the client reads a reply before it closes its end;
    // nothing after it on the line runs.
    void quitCloses()
    {
        for (const char* line : {"q", "Q", "q f", "qF 14074000"}) {
            const Outcome outcome = ExchangeOnce(line, Radio::Fresh);
            QVERIFY2(outcome.closed, line);
            QCOMPARE(outcome.reply, QStringLiteral("RPRT 0"));
            QCOMPARE(outcome.sets, QString());
        }
        QCOMPARE(ExchangeOnce("+q", Radio::Fresh).reply, QStringLiteral("quit:\nRPRT 0"));
        const Outcome outcome = ExchangeOnce("fq", Radio::Fresh);
        QVERIFY(outcome.closed);
        QCOMPARE(outcome.reply, QStringLiteral("14074000\nRPRT 0"));
    }

    void setNotSentGivesError()
    {
        rigctl::Session session;
        const auto requests = session.Split("F 14074000");
        QCOMPARE(requests.size(), std::size_t(1));
        const auto answer = rigctl::Respond(requests[0], SnapshotOf(Radio::Fresh));
        QVERIFY(answer.set);
        QCOMPARE(rigctl::SetReply(requests[0], ActionResult::NotSent), std::string("RPRT -6\n"));
        QCOMPARE(rigctl::SetReply(requests[0], ActionResult::Done), std::string("RPRT 0\n"));
    }

    void strengthFollowsTheScale()
    {
        QCOMPARE(rigctl::StrengthDb(0), -54);
        QCOMPARE(rigctl::StrengthDb(16), 0);
        QCOMPARE(rigctl::StrengthDb(21), 20);
        QCOMPARE(rigctl::StrengthDb(26), 40);
        QCOMPARE(rigctl::StrengthDb(31), 60);
        QCOMPARE(rigctl::StrengthDb(8), -27); // halfway to S9
        for (int raw = 1; raw <= rigctl::kMeterMaxRaw; ++raw)
            QVERIFY2(rigctl::StrengthDb(raw) > rigctl::StrengthDb(raw - 1), qPrintable(QString::number(raw)));
        RigSnapshot radio = SnapshotOf(Radio::Fresh);
        radio.sMeterRaw = 31;
        rigctl::Session session;
        QCOMPARE(Exchange(session, "l STRENGTH", radio).reply, QStringLiteral("60"));
        QCOMPARE(Exchange(session, "l RAWSTR", radio).reply, QStringLiteral("31"));
    }

    // The capability block, read the way the client reads it.
    void dumpStateShape()
    {
        const Outcome outcome = ExchangeOnce("\\dump_state", Radio::Closed);
        const QStringList lines = outcome.reply.split('\n');
        int at = 0;
        auto next = [&] { return at < lines.size() ? lines[at++] : QStringLiteral("<end>"); };
        QCOMPARE(next(), QStringLiteral("1"));
        QCOMPARE(next(), QStringLiteral("1001"));
        QCOMPARE(next(), QStringLiteral("0"));
        for (const char* list : {"receive", "transmit"}) {
            for (const auto& range : cat::kTuningRanges) {
                const QStringList fields = next().split(' ');
                QVERIFY2(fields.size() == 7, list);
                QCOMPARE(fields[0], QStringLiteral("%1.000000").arg(qint64(range.low) * 10));
                QCOMPARE(fields[1], QStringLiteral("%1.000000").arg(qint64(range.high) * 10));
                QCOMPARE(fields[2], QStringLiteral("0xaf"));
            }
            QCOMPARE(next(), QStringLiteral("0 0 0 0 0 0 0"));
        }
        QCOMPARE(next(), QStringLiteral("0xaf 10"));
        QCOMPARE(next(), QStringLiteral("0 0"));
        const QStringList filters{"0xc 2200", "0x82 2200", "0x82 500", "0x1 9000", "0x1 2200", "0x20 15000",
            "0x20 9000", "0 0"};
        for (const auto& filter : filters)
            QCOMPARE(next(), filter);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(next(), QStringLiteral("0"));
        next(); // preamps
        next(); // attenuators
        const QStringList masks{"0x0", "0x0", "0x44000000", "0x0", "0x0", "0x0"};
        for (const auto& mask : masks)
            QCOMPARE(next(), mask);
        const QStringList keys{"has_set_vfo=0", "has_get_vfo=1", "has_set_freq=1", "has_get_freq=1",
            "ptt_type=0x1", "targetable_vfo=0x0", "timeout=1000", "done"};
        for (const auto& key : keys)
            QCOMPARE(next(), key);
        QCOMPARE(at, lines.size());

        // Extended: the same lines between the header and the report.
        const Outcome extended = ExchangeOnce("+\\dump_state", Radio::Fresh);
        QCOMPARE(extended.reply, "dump_state:\n" + outcome.reply + "\nRPRT 0");
    }
};

QTEST_APPLESS_MAIN(TestRigctlProtocol)
#include "test_rigctl_protocol.moc"
