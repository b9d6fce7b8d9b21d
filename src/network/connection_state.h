#pragma once
// A client connection's life as one state, and what each change gives back.
// Pure: the connection applies the steps, the server counts the slots.
//
//   Parked      accepted while every slot is taken; read (bounded) but not
//               answered, and not yet one of the radio's clients
//   Serving     holds a slot and a place in the radio's turns
//   HalfClosed  the client closed its end (half or fully); replies still owed
//   Closing     the server ends it (q, or the program ending); replies owed
//   Gone        descriptors closed, turns given back; nothing more happens

#include <string_view>

enum class ConnectionState { Parked, Serving, HalfClosed, Closing, Gone };

enum class ConnectionEvent {
    SlotFree,    // the server has a slot for a parked connection
    PeerClosed,  // end of the client's input, or its connection closed
    Quit,        // the client said q
    ServerClose, // the program is ending
    Settled,     // nothing more is owed: no request waits, every reply went out
    TimeUp,      // the state's time bound ran out
    Failed,      // reset, a socket error, or replies left unread
};

// A parked client waits this long for a slot (a program reconnecting is
// often seen before its old connection's close).
inline constexpr int kSlotWaitMs = 250;
// Replies owed to a client that closed, or that the server is closing, are
// given this long: beyond the 1.5 s within which the radio side answers any
// set, short enough that a vanished client costs nothing for long.
inline constexpr int kRepliesOwedMs = 3000;

struct ConnectionStep {
    ConnectionState next = ConnectionState::Gone;
    bool openTurns = false;      // join the radio's turns (OpenClient)
    bool stoppedSending = false; // tell the radio side (ClientStoppedSending)
    bool freesSlot = false;      // left Serving: the server may admit another
    bool closeTurns = false;     // leave the radio's turns, dropping queued work (CloseClient)
    bool closeDescriptors = false;
    int startBoundMs = 0;        // start the new state's time bound; 0 leaves the timer as it is
    bool stopBound = false;

    bool operator==(const ConnectionStep&) const = default;
};

// The state after `event` in `state`, and what the change gives back. An
// event that does not apply leaves the state as it is with nothing to do.
ConnectionStep NextConnectionStep(ConnectionState state, ConnectionEvent event);

std::string_view ConnectionStateName(ConnectionState state);
std::string_view ConnectionEventName(ConnectionEvent event);
