// A connection's life as one state: every state against every event, the
// state it leads to and what it gives back.

#include "connection_state.h"

#include <QTest>

Q_DECLARE_METATYPE(ConnectionState)
Q_DECLARE_METATYPE(ConnectionEvent)

namespace {

using S = ConnectionState;
using E = ConnectionEvent;

constexpr E kEvents[] = {E::SlotFree, E::PeerClosed, E::Quit, E::ServerClose, E::Settled, E::TimeUp, E::Failed};

// What a step does, as words in a fixed order; "-" for nothing.
QString Effects(const ConnectionStep& step)
{
    QStringList words;
    if (step.openTurns)
        words << "open turns";
    if (step.stoppedSending)
        words << "stopped sending";
    if (step.freesSlot)
        words << "free slot";
    if (step.closeTurns)
        words << "close turns";
    if (step.closeDescriptors)
        words << "close fds";
    if (step.startBoundMs > 0)
        words << QStringLiteral("bound %1").arg(step.startBoundMs);
    if (step.stopBound)
        words << "stop bound";
    return words.isEmpty() ? QStringLiteral("-") : words.join(", ");
}

struct Row {
    S from;
    E event;
    S to;
    const char* effects;
};

// Gone from a connection that held a slot and turns, or only turns, or neither.
constexpr const char* kGoneServing = "free slot, close turns, close fds, stop bound";
constexpr const char* kGoneOwing = "close turns, close fds, stop bound";
constexpr const char* kGoneParked = "close fds, stop bound";

const Row kTable[] = {
    {S::Parked, E::SlotFree, S::Serving, "open turns, stop bound"},
    {S::Parked, E::PeerClosed, S::Gone, kGoneParked},
    {S::Parked, E::Quit, S::Parked, "-"},
    {S::Parked, E::ServerClose, S::Gone, kGoneParked},
    {S::Parked, E::Settled, S::Parked, "-"},
    {S::Parked, E::TimeUp, S::Gone, kGoneParked},
    {S::Parked, E::Failed, S::Gone, kGoneParked},

    {S::Serving, E::SlotFree, S::Serving, "-"},
    {S::Serving, E::PeerClosed, S::HalfClosed, "stopped sending, free slot, bound 3000"},
    {S::Serving, E::Quit, S::Closing, "free slot, bound 3000"},
    {S::Serving, E::ServerClose, S::Closing, "free slot, bound 3000"},
    {S::Serving, E::Settled, S::Serving, "-"},
    {S::Serving, E::TimeUp, S::Serving, "-"},
    {S::Serving, E::Failed, S::Gone, kGoneServing},

    {S::HalfClosed, E::SlotFree, S::HalfClosed, "-"},
    {S::HalfClosed, E::PeerClosed, S::HalfClosed, "-"},
    {S::HalfClosed, E::Quit, S::HalfClosed, "-"},
    {S::HalfClosed, E::ServerClose, S::Closing, "-"}, // the bound already runs
    {S::HalfClosed, E::Settled, S::Gone, kGoneOwing},
    {S::HalfClosed, E::TimeUp, S::Gone, kGoneOwing},
    {S::HalfClosed, E::Failed, S::Gone, kGoneOwing},

    {S::Closing, E::SlotFree, S::Closing, "-"},
    {S::Closing, E::PeerClosed, S::Closing, "-"},
    {S::Closing, E::Quit, S::Closing, "-"},
    {S::Closing, E::ServerClose, S::Closing, "-"},
    {S::Closing, E::Settled, S::Gone, kGoneOwing},
    {S::Closing, E::TimeUp, S::Gone, kGoneOwing},
    {S::Closing, E::Failed, S::Gone, kGoneOwing},
};

} // namespace

class TestConnectionState : public QObject {
    Q_OBJECT
private slots:
    void transitions_data()
    {
        QTest::addColumn<ConnectionState>("from");
        QTest::addColumn<ConnectionEvent>("event");
        QTest::addColumn<ConnectionState>("to");
        QTest::addColumn<QString>("effects");
        for (const Row& row : kTable)
            QTest::addRow("%s on %s", ConnectionStateName(row.from).data(), ConnectionEventName(row.event).data())
                << row.from << row.event << row.to << QString::fromLatin1(row.effects);
        // Gone is final: nothing happens to it again.
        for (E event : kEvents)
            QTest::addRow("Gone on %s", ConnectionEventName(event).data()) << S::Gone << event << S::Gone << "-";
    }
    void transitions()
    {
        QFETCH(ConnectionState, from);
        QFETCH(ConnectionEvent, event);
        QFETCH(ConnectionState, to);
        QFETCH(QString, effects);
        const ConnectionStep step = NextConnectionStep(from, event);
        QCOMPARE(ConnectionStateName(step.next).data(), ConnectionStateName(to).data());
        QCOMPARE(Effects(step), effects);
    }
};

QTEST_APPLESS_MAIN(TestConnectionState)
#include "test_connection_state.moc"
