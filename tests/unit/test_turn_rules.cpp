// What a request becomes at its turn on the line, as a table: the radio's
// state and a request in; CAT bytes (or the answer with nothing sent) and
// the state after out.

#include "turn_rules.h"

#include <QStringList>
#include <QTest>

namespace {

// "rx", "tx by 1", "sat", "sat tx by 2", with "closed" when keying is not allowed.
radio::TurnState StateOf(const QString& text)
{
    radio::TurnState state;
    state.satellite = text.contains(QLatin1String("sat"));
    state.keyingOpen = !text.contains(QLatin1String("closed"));
    const qsizetype by = text.indexOf(QLatin1String("tx by "));
    if (by >= 0) {
        state.keyed = true;
        state.holder = text.mid(by + 6, 1).toInt();
    }
    return state;
}

QString TextOf(const radio::TurnState& state)
{
    QStringList words;
    if (state.satellite)
        words << QStringLiteral("sat");
    words << (state.keyed ? QStringLiteral("tx by %1").arg(state.holder) : QStringLiteral("rx"));
    return words.join(QLatin1Char(' '));
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
        row("a key takes the transmitter", "rx", "key", 1, true, "00 00 00 00 08", "tx by 1");
        row("the holder's repeated key", "tx by 1", "key", 1, true, "answered", "tx by 1");
        row("another's key", "tx by 1", "key", 2, true, "refused", "tx by 1");
        row("another's unkey releases nothing", "tx by 1", "unkey", 2, true, "answered", "tx by 1");
        row("the holder's unkey", "tx by 1", "unkey", 1, true, "00 00 00 00 88", "rx");
        row("an unkey with nobody keyed", "rx", "unkey", 2, true, "answered", "rx");
        row("a key from an address not allowed", "rx", "key", 3, false, "refused", "rx");
        row("a key with keying stopped", "rx closed", "key", 1, true, "refused", "rx");
        row("receive whoever holds it", "tx by 1", "receive", 0, false, "00 00 00 00 88", "rx");
        row("receive with nobody keyed", "rx", "receive", 0, false, "00 00 00 00 88", "rx");
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
};

QTEST_GUILESS_MAIN(TestTurnRules)
#include "test_turn_rules.moc"
