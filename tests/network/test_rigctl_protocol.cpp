// The rig-control protocol without sockets: request lines in, reply lines
// and radio commands out, for the radio in each state a client can meet.

#include "protocol_table.h"
#include "rigctl_dump_state.h"
#include "rigctl_smeter.h"

#include "cat_protocol.h"

class TestRigctlProtocol : public QObject {
    Q_OBJECT
private slots:
    void reads_data()
    {
        AddColumns();
        AddRow("f", "f", Radio::Fresh, "14074000");
        AddRow("get_freq", "\\get_freq", Radio::Fresh, "14074000");
        AddRow("f 1 s old", "f", Radio::OneSecond, "14074000");
        AddRow("f stale", "f", Radio::Stale, "RPRT -5");
        AddRow("f port closed", "f", Radio::Closed, "RPRT -5");
        AddRow("f before any reading", "f", Radio::NoReading, "RPRT -5");
        AddRow("m", "m", Radio::Fresh, "USB\n2200");
        AddRow("m narrow CW", "\\get_mode", Radio::NarrowCw, "CW\n500");
        AddRow("m stale", "m", Radio::Stale, "RPRT -5");
        AddRow("m code without a name", "m", Radio::UnknownMode, "RPRT -8");
        AddRow("v", "v", Radio::Fresh, "VFOA");
        AddRow("t", "t", Radio::Fresh, "0");
        AddRow("s", "s", Radio::Fresh, "0\nVFOA");
        AddRow("s long", "\\get_split_vfo", Radio::Fresh, "0\nVFOA");
        AddRow("powerstat fresh", "\\get_powerstat", Radio::Fresh, "1");
        AddRow("powerstat just stale", "\\get_powerstat", Radio::Stale, "1");
        AddRow("powerstat 2 s quiet", "\\get_powerstat", Radio::TwoSeconds, "1");
        AddRow("powerstat silent", "\\get_powerstat", Radio::Silent, "0");
        AddRow("powerstat closed", "\\get_powerstat", Radio::Closed, "0");
        AddRow("powerstat no reading", "\\get_powerstat", Radio::NoReading, "0");
        AddRow("chk_vfo", "\\chk_vfo", Radio::Fresh, "0");
        AddRow("lock mode", "\\get_lock_mode", Radio::Fresh, "0\nRPRT 0");
        AddRow("lock mode, port closed", "\\get_lock_mode", Radio::Closed, "0\nRPRT 0");
        AddRow("RAWSTR", "l RAWSTR", Radio::Fresh, "16");
        AddRow("STRENGTH", "l STRENGTH", Radio::Fresh, "0");
        AddRow("RAWSTR stale", "l RAWSTR", Radio::Stale, "RPRT -5");
        AddRow("RAWSTR before the meter is read", "l RAWSTR", Radio::MeterNotYetRead, "RPRT -5");
        // The transmitter's meter over its 31 steps, written as the C library's %f.
        AddRow("ALC transmitting", "l ALC", Radio::Transmitting, "0.516129");
        AddRow("ALC on receive", "l ALC", Radio::Fresh, "0.000000");
        AddRow("ALC before the transmitter's status is read", "l ALC", Radio::TxStatusNotYetRead, "RPRT -5");
        AddRow("dcd squelch closed", "\\get_dcd", Radio::Fresh, "0");
        AddRow("dcd squelch open", "\\get_dcd", Radio::SquelchOpen, "1");
        AddRow("dcd transmitting", "\\get_dcd", Radio::Transmitting, "0");
        AddRow("dcd before the receiver's status is read", "\\get_dcd", Radio::MeterNotYetRead, "RPRT -5");
        AddRow("+dcd", "+\\get_dcd", Radio::SquelchOpen, "get_dcd:\nDCD: 1\nRPRT 0");
        AddRow("other level", "l SWR", Radio::Fresh, "RPRT -11");
        AddRow("level missing", "l", Radio::Fresh, "RPRT -1");
        AddRow("VFO word ignored", "f VFOA", Radio::Fresh, "14074000");
        AddRow("VFO word on m", "m currVFO", Radio::Fresh, "USB\n2200");
        // A radio that cannot answer: what was set, however old; it is taken to be on.
        AddRow("no answers: f as set", "f", Radio::NoAnswers, "14074000");
        AddRow("no answers: m as set", "m", Radio::NoAnswers, "USB\n2200");
        AddRow("no answers: f, nothing set", "f", Radio::NoAnswersNothingSet, "RPRT -11");
        AddRow("no answers: i, nothing set", "i", Radio::NoAnswersSatellite, "RPRT -11");
        AddRow("no answers: f, port closed", "f", Radio::NoAnswersClosed, "RPRT -5");
        AddRow("no answers: powerstat", "\\get_powerstat", Radio::NoAnswersNothingSet, "1");
        AddRow("no answers: powerstat, port closed", "\\get_powerstat", Radio::NoAnswersClosed, "0");
        AddRow("no answers: RAWSTR", "l RAWSTR", Radio::NoAnswers, "RPRT -11");
        AddRow("no answers: dcd", "\\get_dcd", Radio::NoAnswers, "RPRT -11");
    }
    void reads() { CheckRow(); }

    void frequencySets_data()
    {
        AddColumns();
        AddRow("whole Hz", "F 14074000", Radio::Fresh, "RPRT 0", "F1407400");
        AddRow("cut to 10 Hz", "F 14074055", Radio::Fresh, "RPRT 0", "F1407405");
        AddRow("float", "F 14074000.000000", Radio::Fresh, "RPRT 0", "F1407400");
        AddRow("exponent", "F 1.4074E7", Radio::Fresh, "RPRT 0", "F1407400");
        AddRow("exponent, 10 Hz digits", "F 1.407405E7", Radio::Fresh, "RPRT 0", "F1407405");
        AddRow("long form", "\\set_freq 7074000", Radio::Fresh, "RPRT 0", "F707400");
        AddRow("VFO word first", "F VFOA 14074000", Radio::Fresh, "RPRT 0", "F1407400");
        AddRow("lowest", "F 100000", Radio::Fresh, "RPRT 0", "F10000");
        AddRow("2 m", "F 145500000", Radio::Fresh, "RPRT 0", "F14550000");
        AddRow("below", "F 99999", Radio::Fresh, "RPRT -1");
        AddRow("gap", "F 80000000", Radio::Fresh, "RPRT -1");
        AddRow("above", "F 512000010", Radio::Fresh, "RPRT -1");
        AddRow("negative", "F -14074000", Radio::Fresh, "RPRT -1");
        AddRow("huge", "F 1e300", Radio::Fresh, "RPRT -1");
        AddRow("nan", "F nan", Radio::Fresh, "RPRT -1");
        AddRow("trailing junk", "F 14074000Hz", Radio::Fresh, "RPRT -1");
        AddRow("not a number", "F abc", Radio::Fresh, "RPRT -1");
        AddRow("missing", "F", Radio::Fresh, "RPRT -1");
        AddRow("port closed", "F 14074000", Radio::Closed, "RPRT -6");
        AddRow("radio silent still sends", "F 14074000", Radio::Silent, "RPRT 0", "F1407400");
        AddRow("no answers, nothing set", "F 14074000", Radio::NoAnswersNothingSet, "RPRT 0", "F1407400");
    }
    void frequencySets() { CheckRow(); }

    void modeSets_data()
    {
        AddColumns();
        AddRow("USB normal", "M USB 0", Radio::Fresh, "RPRT 0", "M01");
        AddRow("USB wide", "M USB 2400", Radio::Fresh, "RPRT 0", "M01");
        AddRow("USB no narrow", "M USB 500", Radio::Fresh, "RPRT 0", "M01");
        AddRow("LSB keep", "M LSB -1", Radio::NarrowCw, "RPRT 0", "M00");
        AddRow("CW 500 narrow", "M CW 500", Radio::Fresh, "RPRT 0", "M82");
        AddRow("CW 501 normal", "M CW 501", Radio::Fresh, "RPRT 0", "M02");
        AddRow("CW normal", "M CW 0", Radio::NarrowCw, "RPRT 0", "M02");
        AddRow("CW keep normal", "M CW -1", Radio::Fresh, "RPRT 0", "M02");
        AddRow("CW keep narrow", "M CW -1", Radio::NarrowCw, "RPRT 0", "M82");
        AddRow("CWR narrow", "M CWR 250", Radio::Fresh, "RPRT 0", "M83");
        AddRow("AM narrow", "M AM 2200", Radio::Fresh, "RPRT 0", "M84");
        AddRow("AM normal", "M AM 6000", Radio::Fresh, "RPRT 0", "M04");
        AddRow("FM narrow", "M FM 9000", Radio::Fresh, "RPRT 0", "M88");
        AddRow("FM normal", "M FM 15000", Radio::Fresh, "RPRT 0", "M08");
        AddRow("PKTUSB", "M PKTUSB 0", Radio::Fresh, "RPRT 0", "M01");
        AddRow("PKTLSB", "M PKTLSB 3000", Radio::Fresh, "RPRT 0", "M00");
        AddRow("PKTFM narrow", "M PKTFM 9000", Radio::Fresh, "RPRT 0", "M88");
        AddRow("long form", "\\set_mode AM 0", Radio::Fresh, "RPRT 0", "M04");
        AddRow("unknown mode", "M RTTY 0", Radio::Fresh, "RPRT -1");
        AddRow("lower case", "M usb 0", Radio::Fresh, "RPRT -1");
        AddRow("passband missing", "M CW", Radio::Fresh, "RPRT -1");
        AddRow("passband not a number", "M CW wide", Radio::Fresh, "RPRT -1");
        AddRow("negative passband", "M CW -2", Radio::Fresh, "RPRT -1");
        AddRow("port closed", "M CW 500", Radio::Closed, "RPRT -6");
    }
    void modeSets() { CheckRow(); }

    void refusedSets_data()
    {
        AddColumns();
        AddRow("VFOA", "V VFOA", Radio::Fresh, "RPRT 0");
        AddRow("current VFO", "\\set_vfo currVFO", Radio::Fresh, "RPRT 0");
        AddRow("VFOB", "V VFOB", Radio::Fresh, "RPRT -11");
        AddRow("not a VFO", "V 7", Radio::Fresh, "RPRT -1");
        AddRow("ptt 4", "T 4", Radio::Fresh, "RPRT -1");
        AddRow("ptt missing", "T", Radio::Fresh, "RPRT -1");
        AddRow("split bad VFO", "S 0 here", Radio::Fresh, "RPRT -1");
        AddRow("split VFO missing", "S 0", Radio::Fresh, "RPRT -1");
    }
    void refusedSets() { CheckRow(); }

    void lines_data()
    {
        AddColumns();
        AddRow("logger poll", "fmv", Radio::Fresh, "14074000\nUSB\n2200\nVFOA");
        AddRow("spaced", "f m  v", Radio::Fresh, "14074000\nUSB\n2200\nVFOA");
        AddRow("tab and CR", "\tf\r", Radio::Fresh, "14074000");
        AddRow("set then read", "F 7074000 f", Radio::Fresh, "RPRT 0\n14074000", "F707400");
        AddRow("two sets", "F 7074000 M CW 500", Radio::Fresh, "RPRT 0\nRPRT 0", "F707400 M82");
        AddRow("unknown ends the line", "fYm", Radio::Fresh, "14074000\nRPRT -11");
        AddRow("unknown letter", "Y", Radio::Fresh, "RPRT -11");
        AddRow("unknown long", "\\set_rit 100", Radio::Fresh, "RPRT -11");
        AddRow("refused set, then another", "V VFOB F 14074000", Radio::Fresh, "RPRT -11\nRPRT 0", "F1407400");
        AddRow("missing argument", "f F", Radio::Fresh, "14074000\nRPRT -1");
        AddRow("empty", "", Radio::Fresh, "RPRT -1");
        AddRow("blank", "   ", Radio::Fresh, "RPRT -1");
        AddRow("control bytes", "\x01\x02\x7f", Radio::Fresh, "RPRT -11");
        AddRow("high bytes", "\xff\xfe f", Radio::Fresh, "RPRT -11");
        AddRow("backslash alone", "\\", Radio::Fresh, "RPRT -11");
    }
    void lines() { CheckRow(); }

    void extended_data()
    {
        AddColumns();
        AddRow("+f", "+f", Radio::Fresh, "get_freq:\nFrequency: 14074000\nRPRT 0");
        AddRow(";f", ";f", Radio::Fresh, "get_freq:;Frequency: 14074000;RPRT 0");
        AddRow("|m", "|m", Radio::Fresh, "get_mode:|Mode: USB|Passband: 2200|RPRT 0");
        AddRow(",s", ",s", Radio::Fresh, "get_split_vfo:,Split: 0,TX VFO: VFOA,RPRT 0");
        AddRow("+long", "+\\get_vfo", Radio::Fresh, "get_vfo:\nVFO: VFOA\nRPRT 0");
        AddRow("+lock mode", "+\\get_lock_mode", Radio::Fresh, "get_lock_mode:\nLocked: 0\nRPRT 0");
        AddRow("+set echoes arguments", "+F 14074055", Radio::Fresh, "set_freq: 14074055\nRPRT 0", "F1407405");
        AddRow(";set", ";M CW 500", Radio::Fresh, "set_mode: CW 500;RPRT 0", "M82");
        AddRow("+level", "+l RAWSTR", Radio::Fresh, "get_level: RAWSTR\nLevel Value: 16\nRPRT 0");
        AddRow("+stale", "+f", Radio::Stale, "get_freq:\nRPRT -5");
        AddRow("+refused", "+V VFOB", Radio::Fresh, "set_vfo: VFOB\nRPRT -11");
        AddRow("+unknown", "+Y", Radio::Fresh, "RPRT -11");
        AddRow("prefix alone", "+", Radio::Fresh, "RPRT -1");
        // A prefix shapes the one request it starts; several lines are
        // answered in turn on one session.
        AddRow("+fm: m is plain", "+fm", Radio::Fresh, "get_freq:\nFrequency: 14074000\nRPRT 0\nUSB\n2200");
        AddRow("+f+m", "+f+m", Radio::Fresh,
            "get_freq:\nFrequency: 14074000\nRPRT 0\nget_mode:\nMode: USB\nPassband: 2200\nRPRT 0");
        AddRow("+stream_caps, then f", "+\\stream_caps\nf", Radio::Fresh, "RPRT -11\n14074000");
        AddRow(";v, then t", ";v\nt", Radio::Fresh, "get_vfo:;VFO: VFOA;RPRT 0\n0");
        AddRow("+ refused, then v", "+V VFOB\nv", Radio::Fresh, "set_vfo: VFOB\nRPRT -11\nVFOA");
        AddRow("+ set, then f", "+F 14074055\nf", Radio::Fresh, "set_freq: 14074055\nRPRT 0\n14074000", "F1407405");
        AddRow("prefix alone, then f", "+\nf", Radio::Fresh, "RPRT -1\n14074000");
    }
    void extended() { CheckRow(); }

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

    // A read that finds its reading stale waits for the next poll round.
    void waitsForAFreshReading_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Radio>("radio");
        QTest::addColumn<bool>("waits");
        QTest::newRow("RAWSTR not read") << QByteArray("l RAWSTR") << Radio::MeterNotYetRead << true;
        QTest::newRow("ALC not read") << QByteArray("l ALC") << Radio::TxStatusNotYetRead << true;
        QTest::newRow("ALC transmitting") << QByteArray("l ALC") << Radio::Transmitting << false;
        QTest::newRow("dcd not read") << QByteArray("\\get_dcd") << Radio::MeterNotYetRead << true;
        QTest::newRow("dcd fresh") << QByteArray("\\get_dcd") << Radio::Fresh << false;
        QTest::newRow("dcd transmitting") << QByteArray("\\get_dcd") << Radio::Transmitting << false;
        // No read can bring a radio that cannot answer anything fresher.
        QTest::newRow("f, no answers, nothing set") << QByteArray("f") << Radio::NoAnswersNothingSet << false;
        QTest::newRow("RAWSTR, no answers") << QByteArray("l RAWSTR") << Radio::NoAnswers << false;
    }
    void waitsForAFreshReading()
    {
        QFETCH(QByteArray, line);
        QFETCH(Radio, radio);
        QFETCH(bool, waits);
        const auto requests = rigctl::Session().Split(line.toStdString());
        QCOMPARE(rigctl::WantsFreshReading(requests.at(0), SnapshotOf(radio)), waits);
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
        // Set functions TONE, TSQL and CSQL (bit 33); get levels RAWSTR, ALC, STRENGTH.
        const QStringList masks{"0x0", "0x200000030", "0x64000000", "0x0", "0x0", "0x0"};
        for (const auto& mask : masks)
            QCOMPARE(next(), mask);
        const QStringList keys{"has_set_vfo=0", "has_get_vfo=1", "has_set_freq=1", "has_get_freq=1",
            "ptt_type=0x1", "targetable_vfo=0x0", "timeout=1000"};
        for (const auto& key : keys)
            QCOMPARE(next(), key);
        const QString tones = next();
        QVERIFY2(tones.startsWith("ctcss_list= 67.0 69.3 71.9 ") && tones.endsWith(" 241.8 250.3"), qPrintable(tones));
        QCOMPARE(tones.count(' '), 39);
        const QString codes = next();
        QVERIFY2(codes.startsWith("dcs_list= 23 25 26 ") && codes.endsWith(" 743 754"), qPrintable(codes));
        QCOMPARE(codes.count(' '), 104);
        QCOMPARE(next(), QStringLiteral("done"));
        QCOMPARE(at, lines.size());

        // Extended: the same lines between the header and the report.
        const Outcome extended = ExchangeOnce("+\\dump_state", Radio::Fresh);
        QCOMPARE(extended.reply, "dump_state:\n" + outcome.reply + "\nRPRT 0");
    }
};

QTEST_APPLESS_MAIN(TestRigctlProtocol)
#include "test_rigctl_protocol.moc"
