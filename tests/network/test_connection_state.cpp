// A connection's life as one state, checked over every order of events a
// client and the server can produce: whatever happens, a slot and a place in
// the radio's turns are given back exactly once, and only if taken; the
// descriptors close exactly once, on the way to Gone; no state but Serving
// can last for ever.

#include "connection_state.h"

#include <QTest>

#include <string>

namespace {

using S = ConnectionState;
using E = ConnectionEvent;

constexpr E kEvents[] = {E::SlotFree, E::PeerClosed, E::Quit, E::ServerClose, E::Settled, E::TimeUp, E::Failed};

// What a connection has been given and has given back so far.
struct Life {
    S state = S::Parked;
    bool bound = true; // a parked connection waits for a slot within a bound
    int turnsOpened = 0, slotsFreed = 0, turnsClosed = 0, stopped = 0, descriptorsClosed = 0;
    std::string path = "Parked";
};

// The first broken promise on this path, empty when there is none.
std::string Check(const Life& before, const ConnectionStep& step, const Life& after)
{
    if (before.state == S::Gone && !(step == ConnectionStep{S::Gone}))
        return "something happened after Gone";
    if (after.turnsOpened > 1 || after.slotsFreed > after.turnsOpened || after.turnsClosed > after.turnsOpened
        || after.stopped > after.turnsOpened)
        return "a slot or turns given back twice, or never taken";
    if (after.descriptorsClosed != (after.state == S::Gone ? 1 : 0))
        return "descriptors closed other than once on the way to Gone";
    if (after.state == S::Gone && (after.slotsFreed != after.turnsOpened || after.turnsClosed != after.turnsOpened))
        return "gone while still holding a slot or turns";
    if (after.state != S::Gone && after.state != S::Serving && !after.bound)
        return "waiting without a time bound";
    if (after.state == S::Serving && after.turnsOpened - after.slotsFreed != 1)
        return "serving without a slot";
    return {};
}

Life Apply(const Life& life, E event, ConnectionStep* stepOut)
{
    const ConnectionStep step = NextConnectionStep(life.state, event);
    Life next = life;
    next.state = step.next;
    next.turnsOpened += step.openTurns;
    next.slotsFreed += step.freesSlot;
    next.turnsClosed += step.closeTurns;
    next.stopped += step.stoppedSending;
    next.descriptorsClosed += step.closeDescriptors;
    if (step.startBoundMs > 0)
        next.bound = true;
    if (step.stopBound)
        next.bound = false;
    next.path += std::string(" > ") + std::string(ConnectionEventName(event)) + " > "
               + std::string(ConnectionStateName(step.next));
    *stepOut = step;
    return next;
}

// Every sequence of `depth` events from `life`; the first fault found.
std::string Walk(const Life& life, int depth)
{
    if (depth == 0)
        return {};
    for (E event : kEvents) {
        ConnectionStep step;
        const Life next = Apply(life, event, &step);
        if (const std::string fault = Check(life, step, next); !fault.empty())
            return fault + ": " + next.path;
        if (life.bound && life.state != S::Gone && life.state != S::Serving && event == E::TimeUp
            && next.state != S::Gone)
            return "a bound ran out and nothing ended: " + next.path;
        if (step == ConnectionStep{life.state})
            continue; // nothing happened: the same paths follow
        if (const std::string fault = Walk(next, depth - 1); !fault.empty())
            return fault;
    }
    return {};
}

} // namespace

class TestConnectionState : public QObject {
    Q_OBJECT
private slots:
    void everyOrderOfEventsGivesEverythingBackOnce()
    {
        const std::string fault = Walk(Life{}, 6);
        QVERIFY2(fault.empty(), fault.c_str());
    }

};

QTEST_APPLESS_MAIN(TestConnectionState)
#include "test_connection_state.moc"
