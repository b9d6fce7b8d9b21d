#include "connection_state.h"

namespace {

using State = ConnectionState;
using Event = ConnectionEvent;

ConnectionStep Stay(State state)
{
    return {.next = state};
}

// Into Gone from `from`: the descriptors always; the slot and the turns
// only if it had them.
ConnectionStep ToGone(State from)
{
    return {.next = State::Gone,
            .freesSlot = from == State::Serving,
            .closeTurns = from != State::Parked,
            .closeDescriptors = true,
            .stopBound = true};
}

ConnectionStep FromParked(Event event)
{
    switch (event) {
    case Event::SlotFree:
        return {.next = State::Serving, .openTurns = true, .stopBound = true};
    case Event::PeerClosed: // it cost nothing: it was never answered
    case Event::ServerClose:
    case Event::TimeUp:
    case Event::Failed:
        return ToGone(State::Parked);
    case Event::Quit: // a parked connection's requests are not read yet
    case Event::Settled:
        break;
    }
    return Stay(State::Parked);
}

ConnectionStep FromServing(Event event)
{
    switch (event) {
    case Event::PeerClosed:
        return {.next = State::HalfClosed, .stoppedSending = true, .freesSlot = true, .startBoundMs = kRepliesOwedMs};
    case Event::Quit:
    case Event::ServerClose:
        return {.next = State::Closing, .freesSlot = true, .startBoundMs = kRepliesOwedMs};
    case Event::Failed:
        return ToGone(State::Serving);
    case Event::SlotFree:
    case Event::Settled: // a serving connection is owed its next request
    case Event::TimeUp:  // no bound runs while serving
        break;
    }
    return Stay(State::Serving);
}

// HalfClosed and Closing: replies are owed, within the bound already running.
ConnectionStep FromOwing(State state, Event event)
{
    switch (event) {
    case Event::Settled:
    case Event::TimeUp:
    case Event::Failed:
        return ToGone(state);
    case Event::ServerClose:
        return Stay(State::Closing);
    case Event::SlotFree:
    case Event::PeerClosed:
    case Event::Quit: // the rest of its input is dropped; it settles
        break;
    }
    return Stay(state);
}

} // namespace

ConnectionStep NextConnectionStep(ConnectionState state, ConnectionEvent event)
{
    switch (state) {
    case State::Parked:
        return FromParked(event);
    case State::Serving:
        return FromServing(event);
    case State::HalfClosed:
    case State::Closing:
        return FromOwing(state, event);
    case State::Gone:
        break;
    }
    return Stay(State::Gone); // gone once, and only once
}

std::string_view ConnectionStateName(ConnectionState state)
{
    switch (state) {
    case State::Parked:
        return "Parked";
    case State::Serving:
        return "Serving";
    case State::HalfClosed:
        return "HalfClosed";
    case State::Closing:
        return "Closing";
    case State::Gone:
        return "Gone";
    }
    return "?";
}

std::string_view ConnectionEventName(ConnectionEvent event)
{
    switch (event) {
    case Event::SlotFree:
        return "SlotFree";
    case Event::PeerClosed:
        return "PeerClosed";
    case Event::Quit:
        return "Quit";
    case Event::ServerClose:
        return "ServerClose";
    case Event::Settled:
        return "Settled";
    case Event::TimeUp:
        return "TimeUp";
    case Event::Failed:
        return "Failed";
    }
    return "?";
}
