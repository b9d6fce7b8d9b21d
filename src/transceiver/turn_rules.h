#pragma once
// What a queued request becomes when its turn on the line comes: the CAT
// bytes to send, or the answer its sender gets with nothing sent, and the
// radio's state once it has gone. Pure: tested as a table.
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

#include "cat_protocol.h"
#include "radio_request.h"

#include <optional>

namespace radio {

struct TurnState {
    bool satellite = false;
    bool keyed = false;
    int holder = -1;         // who keyed, while keyed
    bool keyingOpen = true;  // keying enabled in the settings and not stopped by the person
    bool operator==(const TurnState&) const = default;
};

struct TurnDecision {
    std::optional<cat::CommandBytes> bytes; // to send now
    Outcome answer = Outcome::Sent;         // with no bytes: what the sender is told at once
    TurnState after;                        // the state once the bytes are on their way
};

// `from` is the sender (0 the window); `mayKey` whether that sender may
// key the transmitter at all (its address, per the settings).
TurnDecision DecideTurn(const Request& request, int from, bool mayKey, const TurnState& state);

} // namespace radio
