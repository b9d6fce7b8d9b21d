#pragma once
// The reads of one poll round, as data. Each read is a turn of its own on
// the line (line_schedule.h). Outside satellite mode: the main VFO, then the
// meter. In satellite mode: the downlink, the uplink, then the meter; the
// main VFO's read (0x03) is never sent there, as what the radio answers to
// it in satellite mode is not documented. The meter is the S-meter (0xE7)
// while receiving and the power-out meter (0xF7) while transmitting.

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

constexpr cat::Opcode ReadOpcode(PollRead read, bool keyed)
{
    switch (read) {
    case PollRead::Main: return cat::ReadFrequencyMode;
    case PollRead::Downlink: return cat::SatRxReadFrequencyMode;
    case PollRead::Uplink: return cat::SatTxReadFrequencyMode;
    case PollRead::Meter: break;
    }
    return keyed ? cat::ReadTxStatus : cat::ReadRxStatus;
}

} // namespace radio
