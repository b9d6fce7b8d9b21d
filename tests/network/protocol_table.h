#pragma once
// Request lines answered as a connection would, without sockets, for the
// rig-control protocol's tables: the radio in each state a client can meet,
// and the reply and radio actions each line brings.

#include "fake_rig_backend.h" // ActionText
#include "rigctl_protocol.h"

#include <QTest>

enum class Radio {
    Fresh, OneSecond, Stale, TwoSeconds, Silent, Closed, NoReading, NarrowCw, UnknownMode,
    Transmitting, Satellite, SatelliteUplinkStale, SatelliteClosed, MeterNotYetRead, SquelchOpen,
    TxStatusNotYetRead,
    // A radio that cannot answer ([Radio] Answers=false): USB on 14.074 MHz
    // set a minute ago; nothing set yet; nothing set on the uplink; port closed.
    NoAnswers, NoAnswersNothingSet, NoAnswersSatellite, NoAnswersClosed
};

inline RigSnapshot SnapshotOf(Radio radio)
{
    RigSnapshot s;
    s.portOpen = true;
    s.haveReading = true;
    s.readingAgeMs = 200;
    s.frequency10Hz = 1407400;
    s.modeCode = 0x01;
    s.sMeterRaw = 16;
    s.txStatusAgeMs = 200;
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
    case Radio::Transmitting: // the poll reads the transmitter's status, not the receiver's
        s.transmitting = true;
        s.powerOutRaw = 16;
        s.squelchOpen = true;
        s.rxStatusAgeMs = 5000;
        break;
    case Radio::SquelchOpen:
        s.squelchOpen = true;
        break;
    case Radio::TxStatusNotYetRead:
        s.txStatusAgeMs = -1;
        break;
    case Radio::MeterNotYetRead: // the round's frequency is in, its meter not yet
        break;
    case Radio::NoAnswers:
    case Radio::NoAnswersNothingSet:
    case Radio::NoAnswersSatellite:
    case Radio::NoAnswersClosed:
        s.answers = false;
        s.readingAgeMs = 60000;
        s.txStatusAgeMs = -1;
        s.haveReading = s.haveMode = radio != Radio::NoAnswersNothingSet;
        s.satellite = radio == Radio::NoAnswersSatellite;
        s.haveUplinkReading = s.haveUplinkMode = false;
        s.portOpen = radio != Radio::NoAnswersClosed;
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
    s.meterAgeMs = radio == Radio::MeterNotYetRead || !s.answers ? -1 : s.readingAgeMs;
    if (radio != Radio::Transmitting)
        s.rxStatusAgeMs = s.meterAgeMs; // the meter and the squelch come in one E7 reply
    return s;
}

struct Outcome {
    QString reply;  // without the final line end
    QString sets;   // "F1407405 M82": what went to the radio's queue
    bool closed = false;
};

// Answers a line as a connection would, with every set reported sent.
inline Outcome Exchange(rigctl::Session& session, const std::string& line, const RigSnapshot& radio)
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
inline Outcome ExchangeOnce(const std::string& lines, Radio radio)
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

Q_DECLARE_METATYPE(Radio)

// The table's columns: a request line, the radio's state, the reply and the
// actions queued for the radio.
inline void AddColumns()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Radio>("radio");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("sets");
}

inline void AddRow(const char* name, const char* line, Radio radio, const char* reply, const char* sets = "")
{
    QTest::newRow(name) << QByteArray(line) << radio << QString::fromLatin1(reply) << QString::fromLatin1(sets);
}

// Answers the current row's line on a fresh session and compares.
inline void CheckRow()
{
    QFETCH(QByteArray, line);
    QFETCH(Radio, radio);
    QFETCH(QString, reply);
    QFETCH(QString, sets);
    const Outcome outcome = ExchangeOnce(line.toStdString(), radio);
    QCOMPARE(outcome.reply, reply);
    QCOMPARE(outcome.sets, sets);
}
