#pragma once
// The reads of one poll round, as data. Each read is a turn of its own on
// the line (line_schedule.h). Outside satellite mode: the main VFO, then the
// status. In satellite mode: the downlink, the uplink, then the status; the
// main VFO's read (0x03) is never sent there, as what the radio answers to
// it in satellite mode is not documented. The status is the receiver's
// (0xE7: S-meter, squelch) or the transmitter's (0xF7: on the air, whoever
// keyed it, and power out): every round while the radio transmits or may,
// otherwise the two in turn, so a key at the radio is seen within two rounds.

#include "cat_protocol.h"

#include <vector>

namespace radio {

enum class PollRead { Main, Downlink, Uplink, Meter };

inline std::vector<PollRead> RoundReads(bool satellite)
{
    if (satellite)
        return {PollRead::Downlink, PollRead::Uplink, PollRead::Meter};
    return {PollRead::Main, PollRead::Meter};
}

// `transmitterStatus`: the round reads F7 rather than E7.
constexpr cat::Opcode ReadOpcode(PollRead read, bool transmitterStatus)
{
    switch (read) {
    case PollRead::Main: return cat::ReadFrequencyMode;
    case PollRead::Downlink: return cat::SatRxReadFrequencyMode;
    case PollRead::Uplink: return cat::SatTxReadFrequencyMode;
    case PollRead::Meter: break;
    }
    return transmitterStatus ? cat::ReadTxStatus : cat::ReadRxStatus;
}

// Which status the next round reads: F7 while on the air, or as far as
// Solvane knows may be; otherwise E7 and F7 in turn.
constexpr bool ReadsTransmitterStatus(bool transmitting, bool lastWasTransmitter)
{
    return transmitting || !lastWasTransmitter;
}

} // namespace radio
