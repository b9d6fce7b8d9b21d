// What a request becomes at its turn on the line, and what every other
// event does to the transmitter, as tables: the radio's state and a request
// or event in; CAT bytes (or the answer with nothing sent) and the state
// after out. Then the promise, over every order of events: receive owed
// reaches the wire before the port closes, or the state says the radio may
// still transmit.

#include "turn_rules.h"

#include <QStringList>
#include <QTest>

#include <deque>
#include <functional>

namespace {

using radio::Tx;

// The transmitter's states as the rows write them; "tx by 1" is OnAir.
const char* const kTxText[] = {"rx", "keying by ", "tx by ", "unkey due", "unkeying", "may tx"};

// "rx", "tx by 1", "sat", "sat tx by 2", "unkey due", with "closed" when
// keying is not allowed, "mic" when keyed at the radio, "tried" when receive
// went out for a transmission nobody here held.
radio::TurnState StateOf(const QString& text)
{
    radio::TurnState state;
    state.satellite = text.contains(QLatin1String("sat"));
    state.keyingOpen = !text.contains(QLatin1String("closed"));
    state.keyedAtRadio = text.contains(QLatin1String("mic"));
    state.receiveTried = text.contains(QLatin1String("tried"));
    for (int tx = int(Tx::MayTransmit); tx > int(Tx::Receive); --tx) {
        const QString name = QString::fromLatin1(kTxText[tx]);
        const qsizetype at = text.indexOf(name);
        if (at < 0)
            continue;
        state.tx = Tx(tx);
        if (name.endsWith(QLatin1Char(' ')))
            state.holder = text.mid(at + name.size(), 1).toInt();
        break;
    }
    return state;
}

QString TextOf(const radio::TurnState& state)
{
    QStringList words;
    if (state.satellite)
        words << QStringLiteral("sat");
    QString tx = QString::fromLatin1(kTxText[int(state.tx)]);
    if (state.Keyed())
        tx += QString::number(state.holder);
    words << tx;
    if (state.keyedAtRadio)
        words << QStringLiteral("mic");
    if (state.receiveTried)
        words << QStringLiteral("tried");
    return words.join(QLatin1Char(' '));
}

QString LineOf(const std::optional<cat::CommandBytes>& bytes)
{
    if (!bytes)
        return QStringLiteral("nothing");
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes->data()), 5).toHex(' ')).toUpper();
}

// "F 1407400", "F up 14590000", "M 08", "M up 01", "key", "unkey", "receive",
// "sat on", "sat off", "cat on".
radio::Request RequestOf(const QString& text)
{
    using Kind = radio::Request::Kind;
    const QStringList w = text.split(QLatin1Char(' '));
    const bool up = w.value(1) == QLatin1String("up");
    const radio::Vfo vfo = up ? radio::Vfo::Uplink : radio::Vfo::Current;
    const QString value = w.last();
    if (w[0] == QLatin1String("F"))
        return {Kind::SetFrequency, vfo, value.toInt()};
    if (w[0] == QLatin1String("M"))
        return {Kind::SetMode, vfo, value.toInt(nullptr, 16)};
    if (text == QLatin1String("key"))
        return {Kind::Key};
    if (text == QLatin1String("unkey"))
        return {Kind::Unkey};
    if (text == QLatin1String("receive"))
        return {Kind::Receive};
    if (w[0] == QLatin1String("sat"))
        return {Kind::Satellite, radio::Vfo::Current, value == QLatin1String("on") ? 1 : 0};
    return {Kind::CatOn};
}

// radio::Outcome's values in order: Sent, NotSent, Refused, NotAvailable.
const char* const kOutcomeText[] = {"answered", "not sent", "refused", "not available"};

} // namespace

class TestTurnRules : public QObject {
    Q_OBJECT
private slots:
    void decide_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("from");  // 0 the window
        QTest::addColumn<bool>("mayKey");
        QTest::addColumn<QString>("line"); // the bytes sent, or the answer with nothing sent
        QTest::addColumn<QString>("after");
        auto row = [](const char* name, const char* state, const char* request, int from, bool mayKey,
                      const char* line, const char* after) {
            QTest::newRow(name) << QString::fromLatin1(state) << QString::fromLatin1(request) << from << mayKey
                                << QString::fromLatin1(line) << QString::fromLatin1(after);
        };
        // One holder.
        row("a key takes the transmitter", "rx", "key", 1, true, "00 00 00 00 08", "keying by 1");
        row("the holder's repeated key", "tx by 1", "key", 1, true, "answered", "tx by 1");
        row("another's key", "tx by 1", "key", 2, true, "refused", "tx by 1");
        row("another's unkey releases nothing", "tx by 1", "unkey", 2, true, "answered", "tx by 1");
        row("the holder's unkey", "tx by 1", "unkey", 1, true, "00 00 00 00 88", "unkeying");
        row("an unkey with nobody keyed", "rx", "unkey", 2, true, "answered", "rx");
        row("a key from an address not allowed", "rx", "key", 3, false, "refused", "rx");
        row("a key with keying stopped", "rx closed", "key", 1, true, "refused", "rx");
        row("receive whoever holds it", "tx by 1", "receive", 0, false, "00 00 00 00 88", "unkeying");
        row("receive with nobody keyed", "rx", "receive", 0, false, "00 00 00 00 88", "unkeying");
        row("the holder's unkey before its key left", "keying by 1", "unkey", 1, true, "00 00 00 00 88", "unkeying");
        row("a key while receive is owed", "unkey due", "key", 2, true, "refused", "unkey due");
        row("a set while receive is owed", "unkey due", "F 1407400", 2, true, "refused", "unkey due");
        // Keyed at the radio: no program keys, nothing retunes it; an unkey releases nothing.
        row("a key while keyed at the radio", "rx mic", "key", 1, true, "refused", "rx mic");
        row("a key while receive is tried", "rx tried", "key", 1, true, "refused", "rx tried");
        row("an unkey while keyed at the radio", "rx mic", "unkey", 1, true, "answered", "rx mic");
        row("a set while keyed at the radio", "rx mic", "F 1407400", 1, true, "refused", "rx mic");
        row("satellite on while keyed at the radio", "rx mic", "sat on", 1, true, "refused", "rx mic");
        row("a downlink set while keyed at the radio", "sat rx mic", "F 43590000", 2, true, "43 59 00 00 11",
            "sat rx mic");
        // Nothing retunes a transmitter, but Doppler sets go on in satellite mode.
        row("a set", "rx", "F 1407400", 2, true, "01 40 74 00 01", "rx");
        row("a set while keyed", "tx by 1", "F 1407400", 2, true, "refused", "tx by 1");
        row("the holder's own set while keyed", "tx by 1", "M 01", 1, true, "refused", "tx by 1");
        row("the window's set while keyed", "tx by 1", "F 1407400", 0, false, "refused", "tx by 1");
        row("a downlink set while keyed", "sat tx by 1", "F 43590000", 2, true, "43 59 00 00 11", "sat tx by 1");
        row("an uplink set while keyed", "sat tx by 1", "F up 14590000", 1, true, "14 59 00 00 21", "sat tx by 1");
        row("a downlink mode", "sat", "M 08", 2, true, "08 00 00 00 17", "sat rx");
        row("an uplink mode", "sat", "M up 01", 2, true, "01 00 00 00 27", "sat rx");
        row("the uplink outside satellite mode", "rx", "F up 14590000", 2, true, "not available", "rx");
        // Switching satellite mode moves the transmitter: never while keyed.
        row("satellite on", "rx", "sat on", 2, true, "00 00 00 00 4E", "sat rx");
        row("satellite off", "sat", "sat off", 0, false, "00 00 00 00 8E", "rx");
        row("satellite on while keyed", "tx by 1", "sat on", 1, true, "refused", "tx by 1");
        row("satellite off while keyed", "sat tx by 1", "sat off", 0, false, "refused", "sat tx by 1");
        row("satellite on when on", "sat", "sat on", 2, true, "answered", "sat rx");
        row("satellite off when off, keyed", "tx by 1", "sat off", 2, true, "answered", "tx by 1");
        row("CAT on", "tx by 1", "cat on", 0, false, "00 00 00 00 00", "tx by 1");
    }
    void decide()
    {
        QFETCH(QString, state);
        QFETCH(QString, request);
        QFETCH(int, from);
        QFETCH(bool, mayKey);
        QFETCH(QString, line);
        QFETCH(QString, after);
        const radio::TurnDecision decision = radio::DecideTurn(RequestOf(request), from, mayKey, StateOf(state));
        QString got;
        if (decision.bytes) {
            const QByteArray bytes(reinterpret_cast<const char*>(decision.bytes->data()), 5);
            got = QString::fromLatin1(bytes.toHex(' ')).toUpper();
        } else {
            got = QString::fromLatin1(kOutcomeText[int(decision.answer)]);
        }
        QCOMPARE(got, line);
        QCOMPARE(TextOf(decision.after), after);
        QCOMPARE(decision.after.keyingOpen, StateOf(state).keyingOpen);
    }

    // What the every-order promise below cannot tell: who holds the key,
    // which notice is given, and the radio's own reports.
    void step_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("event");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("notice");
        using E = radio::TxEvent;
        using N = radio::TxNotice;
        auto row = [](const char* name, const char* state, E event, bool portOpen, const char* line, const char* after,
                      N notice = N::None) {
            QTest::newRow(name) << QString::fromLatin1(state) << int(event) << portOpen << QString::fromLatin1(line)
                                << QString::fromLatin1(after) << int(notice);
        };
        row("the line free, nothing owed", "tx by 1", E::LineFree, true, "nothing", "tx by 1");
        row("the holder goes (client 1)", "tx by 1", E::HolderGone, true, "nothing", "unkey due");
        row("the holder goes before its key left", "keying by 1", E::HolderGone, true, "nothing", "unkey due");
        row("another program goes", "tx by 2", E::HolderGone, true, "nothing", "tx by 2");
        row("the limit", "tx by 1", E::Limit, true, "nothing", "unkey due");
        row("the person's stop", "keying by 1", E::Stop, true, "nothing", "unkey due");
        row("the key left", "keying by 1", E::KeySent, true, "nothing", "tx by 1");
        row("a key overtaken by receive", "unkey due", E::KeySent, true, "nothing", "unkey due");
        row("a key stuck on the line", "keying by 1", E::KeyLost, true, "nothing", "unkey due");
        row("receive left", "unkeying", E::UnkeySent, true, "nothing", "rx", N::BackOnReceive);
        row("the port goes on the air", "tx by 1", E::PortGone, false, "nothing", "may tx", N::MayStillTransmit);
        row("the port goes on receive", "rx", E::PortGone, false, "nothing", "rx");
        row("a port opened on receive", "rx", E::PortOpened, true, "nothing", "rx");
        row("closing the port on the air", "tx by 1", E::PortClosing, true, "nothing", "unkey due");
        row("the shutdown on the air", "tx by 1", E::Shutdown, true, "nothing", "unkey due");
        // The radio's own report: receive once for a transmission nobody
        // here holds, then it is keyed at the radio; Solvane's own key is
        // trusted over a report of receive (the rear PACKET socket's PTT).
        row("seen on the air, nobody holding it", "rx", E::SeenTransmitting, true, "nothing", "unkey due tried");
        row("still on the air after receive", "rx tried", E::SeenTransmitting, true, "nothing", "rx mic tried",
            N::KeyedAtRadio);
        row("let go at the radio", "rx mic tried", E::SeenReceiving, true, "nothing", "rx", N::ReleasedAtRadio);
        row("receive ended a lost key", "rx tried", E::SeenReceiving, true, "nothing", "rx");
        row("seen on the air under its own key", "tx by 1", E::SeenTransmitting, true, "nothing", "tx by 1");
        row("seen receiving under its own key", "tx by 1", E::SeenReceiving, true, "nothing", "tx by 1");
        row("keyed at the radio does not hold the port", "rx mic", E::PortClosing, true, "nothing", "rx mic");
        row("the limit leaves the radio's own key", "rx mic", E::Limit, true, "nothing", "rx mic");
    }
    void step()
    {
        QFETCH(QString, state);
        QFETCH(int, event);
        QFETCH(bool, portOpen);
        QFETCH(QString, line);
        QFETCH(QString, after);
        QFETCH(int, notice);
        const radio::TxStep step = radio::StepTransmitter(StateOf(state), radio::TxEvent(event), portOpen, 1);
        QCOMPARE(LineOf(step.bytes), line);
        QCOMPARE(TextOf(step.after), after);
        QCOMPARE(int(step.notice), notice);
    }

    // Every order of up to six events, against a model of the port and the
    // wire: what Solvane handed to the line leaves it (or is lost) in order.
    void promiseHoldsInEveryOrder();
};

namespace {

enum class Ev {
    Key, Unkey, HolderGone, Limit, Stop, LineFree, Sent, Stuck, Closing, Close, Open, PortLost, Shutdown,
    ReportsTx, ReportsRx
};
constexpr int kEvents = int(Ev::ReportsRx) + 1;

struct Model {
    radio::TurnState state;
    bool portOpen = true;
    std::deque<bool> inFlight; // handed to the line, in order: true a key, false receive
    bool wireKeyed = false;    // the last of ours to reach the radio was a key
    bool toldMayTransmit = false;
    QString broken;            // the first promise broken, with the events that broke it
};

void Step(Model& m, radio::TxEvent event)
{
    const radio::TxStep step = radio::StepTransmitter(m.state, event, m.portOpen, 1);
    m.state = step.after;
    if (step.bytes)
        m.inFlight.push_back(false);
    if (step.notice == radio::TxNotice::BackOnReceive && m.wireKeyed)
        m.broken = QStringLiteral("back on receive said while keyed");
    m.toldMayTransmit = step.notice == radio::TxNotice::MayStillTransmit || (m.toldMayTransmit && !m.portOpen);
}

void Request(Model& m, radio::Request::Kind kind)
{
    if (!m.portOpen)
        return;
    const radio::TurnDecision d = radio::DecideTurn({kind}, 1, true, m.state);
    m.state = d.after;
    if (d.bytes)
        m.inFlight.push_back(kind == radio::Request::Kind::Key);
}

// The link gives up everything in flight: the port is gone. What was lost
// may have left: a key, to be safe, did.
void DropInFlight(Model& m)
{
    while (!m.inFlight.empty()) {
        const bool key = m.inFlight.front();
        m.inFlight.pop_front();
        m.wireKeyed = m.wireKeyed || key;
        Step(m, key ? radio::TxEvent::KeyLost : radio::TxEvent::UnkeyLost);
    }
}

void Apply(Model& m, Ev ev)
{
    using E = radio::TxEvent;
    switch (ev) {
    case Ev::Key: Request(m, radio::Request::Kind::Key); break;
    case Ev::Unkey: Request(m, radio::Request::Kind::Unkey); break;
    case Ev::HolderGone: Step(m, E::HolderGone); break;
    case Ev::Limit: Step(m, E::Limit); break;
    case Ev::Stop: Step(m, E::Stop); break;
    case Ev::LineFree: Step(m, E::LineFree); break;
    case Ev::Shutdown: Step(m, E::Shutdown); break;
    case Ev::Closing: Step(m, E::PortClosing); break;
    case Ev::ReportsTx: Step(m, E::SeenTransmitting); break;
    case Ev::ReportsRx: Step(m, E::SeenReceiving); break;
    case Ev::Sent:
    case Ev::Stuck: {
        if (m.inFlight.empty() || !m.portOpen)
            return;
        const bool key = m.inFlight.front();
        m.inFlight.pop_front();
        // A stuck command may still leave: a key, to be safe, did; receive did not.
        if (ev == Ev::Sent || key)
            m.wireKeyed = key;
        Step(m, ev == Ev::Sent ? (key ? E::KeySent : E::UnkeySent) : (key ? E::KeyLost : E::UnkeyLost));
        break;
    }
    case Ev::Close:
        // Solvane closes its port only when the rules allow it.
        if (!m.portOpen || !radio::PortMayClose(m.state))
            return;
        if (m.wireKeyed)
            m.broken = QStringLiteral("closed while keyed");
        m.portOpen = false;
        DropInFlight(m);
        Step(m, E::PortGone);
        break;
    case Ev::PortLost:
        if (!m.portOpen)
            return;
        m.portOpen = false;
        DropInFlight(m);
        Step(m, E::PortGone);
        break;
    case Ev::Open:
        if (m.portOpen)
            return;
        m.portOpen = true;
        Step(m, E::PortOpened);
        break;
    }
    if (!m.broken.isEmpty())
        return;
    if (m.portOpen && m.wireKeyed && !m.state.Transmitting())
        m.broken = QStringLiteral("keyed, but the state says receive");
    else if (!m.portOpen && m.wireKeyed && (m.state.tx != Tx::MayTransmit || !m.toldMayTransmit))
        m.broken = QStringLiteral("the port went while keyed, and nobody was told");
    else if (m.state.tx == Tx::MayTransmit && m.portOpen)
        m.broken = QStringLiteral("may transmit with the port open");
    else if (m.state.tx == Tx::UnkeyDue && m.portOpen
             && !radio::StepTransmitter(m.state, radio::TxEvent::LineFree, true).bytes)
        m.broken = QStringLiteral("receive owed, but not sent when the line is free");
}

// Depth-first over every sequence, each prefix applied once.
void Explore(const Model& m, int depth, QString& path, QString& failure)
{
    if (depth == 0 || !failure.isEmpty())
        return;
    for (int e = 0; e < kEvents && failure.isEmpty(); ++e) {
        Model next = m;
        Apply(next, Ev(e));
        const qsizetype mark = path.size();
        path += QString::number(e) + QLatin1Char(' ');
        if (!next.broken.isEmpty())
            failure = next.broken + QStringLiteral(" after events ") + path;
        else
            Explore(next, depth - 1, path, failure);
        path.truncate(mark);
    }
}

} // namespace

void TestTurnRules::promiseHoldsInEveryOrder()
{
    QString path, failure;
    Explore(Model{}, 6, path, failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_GUILESS_MAIN(TestTurnRules)
#include "test_turn_rules.moc"
