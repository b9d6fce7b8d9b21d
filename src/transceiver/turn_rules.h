#pragma once
// The radio's state as Solvane drives it (the transmitter's life and
// satellite mode), what a queued request becomes when its turn on the line
// comes, and what every other event does to the transmitter. Pure: tested
// as a table and over every order of events.
//
// One program at a time holds the transmitter: the one whose key went on the
// line. Another's key is refused and its unkey releases nothing (a program
// that unkeys at start-up must not cut off another's transmission). While
// keyed, nothing retunes the transmitter outside satellite mode, and the
// satellite mode cannot be switched (that would move the transmitter between
// the uplink and the main VFO). A switch to the mode the radio is already in
// sends nothing, so a program that ends split at every start does not fail
// while another transmits. The FM settings follow rules of their own
// (fm_rules.h).
//
// The promise: once an unkey is owed, it reaches the wire before the port
// closes; only a port that is already gone excuses it, and then the state
// says that the radio may still be transmitting.
//
// The radio reports its transmitter whoever keyed it (F7). Seen transmitting
// with no program holding it, it is sent receive once: that ends a key lost
// or left by an earlier run and does no harm to a microphone's. Still on the
// air after that, it is keyed at the radio (its microphone or a foot
// switch), which CAT cannot release: nothing retunes it and no program may
// key until it is let go. Keying through the rear PACKET socket's PTT pin
// is not reported at all, so Solvane's own key is trusted over a report of
// receive.

#include "cat_protocol.h"
#include "radio_request.h"

#include <optional>

namespace radio {

enum class Tx {
    Receive,     // nothing Solvane sent keys the radio
    Keying,      // the key (08) is on its way to the wire
    OnAir,       // the key has left: transmitting, held by `holder`
    UnkeyDue,    // receive (88) is owed and goes before anything else
    Unkeying,    // receive is on its way to the wire
    MayTransmit, // the port went while the radio was keyed or owed receive
};

struct TurnState {
    bool satellite = false;
    Tx tx = Tx::Receive;
    int holder = -1;         // who keyed, while Keying or OnAir
    bool keyingOpen = true;  // keying enabled in the settings and not stopped by the person
    bool keyedAtRadio = false;  // on the air by the radio's own key, which receive did not end
    bool receiveTried = false;  // receive went out for a transmission nobody here held
    bool operator==(const TurnState&) const = default;

    bool Keyed() const { return tx == Tx::Keying || tx == Tx::OnAir; }
    // Keyed, or receive not yet on the wire: this port may not close yet.
    bool OwesReceive() const { return Keyed() || tx == Tx::UnkeyDue || tx == Tx::Unkeying; }
    // On the air as far as Solvane knows, whoever keyed it: until the radio
    // reports again after receive was tried, it is taken to be.
    bool Transmitting() const { return OwesReceive() || keyedAtRadio || receiveTried; }
};

struct TurnDecision {
    std::optional<cat::CommandBytes> bytes; // to send now
    Outcome answer = Outcome::Sent;         // with no bytes: what the sender is told at once
    TurnState after;                        // the state once the bytes are on their way
};

// `from` is the sender (0 the window); `mayKey` whether that sender may
// key the transmitter at all (its address, per the settings).
TurnDecision DecideTurn(const Request& request, int from, bool mayKey, const TurnState& state);

// Everything else that happens to the transmitter.
enum class TxEvent {
    LineFree,    // the line can take a command now, ahead of every queue
    HolderGone,  // `client` can no longer unkey: it closed, stopped sending or was dropped
    Limit,       // the transmission reached its time limit
    Stop,        // the person's stop (Escape): unkey whoever holds it, no keying until allowed
    Allow,       // the person allows keying again
    KeySent,     // the key left the wire
    KeyLost,     // the key was dropped: the port closed or failed, or the line stuck
    UnkeySent,   // receive left the wire
    UnkeyLost,   // receive was dropped
    PortOpened,
    PortClosing, // Solvane is about to close the port
    PortGone,    // the port is closed or lost
    Shutdown,
    SeenTransmitting, // the radio reports itself on the air (not Solvane's own key settling)
    SeenReceiving,    // the radio reports receive
};

// What the person must be told of the transmitter, once.
enum class TxNotice { None, BackOnReceive, MayStillTransmit, KeyedAtRadio, ReleasedAtRadio };

struct TxStep {
    TurnState after;
    std::optional<cat::CommandBytes> bytes; // LineFree: receive, to send now
    TxNotice notice = TxNotice::None;
};

// `portOpen`: whether the port is still open as the event happens.
TxStep StepTransmitter(const TurnState& state, TxEvent event, bool portOpen, int client = -1);

// The port may close now: nothing of Solvane's keys the radio through it.
inline bool PortMayClose(const TurnState& state) { return !state.OwesReceive(); }

} // namespace radio
