#pragma once
// What an FM setting (tone mode, tone, DCS code, repeater shift and offset)
// becomes at its turn on the line: the CAT bytes, or the answer its sender
// gets with nothing sent. Pure.
//
// Outside satellite mode the tone settings go to the main VFO, and naming
// the transmit VFO is not available (the radio has no split there). In
// satellite mode they go to the uplink unless the sender named a receive
// VFO. The shift and offset have one form only, and move the transmit
// frequency: refused while the radio transmits. Tones may change on the air.

#include "cat_protocol.h"
#include "radio_request.h"

#include <optional>

namespace radio {

struct FmDecision {
    std::optional<cat::CommandBytes> bytes; // to send now
    Outcome answer = Outcome::Sent;         // with no bytes: what the sender is told
};

FmDecision DecideFm(const Request& request, bool satellite, bool transmitting);

} // namespace radio
