#pragma once
// What Solvane last set on each of the radio's VFOs. For a radio that cannot
// answer reads (an FT-847 before serial 8G05) it is the only reading there
// is, kept across runs in the settings. Pure.

#include "cat_protocol.h"
#include "radio_request.h"

#include <optional>

namespace radio {

struct SetValues {
    std::optional<cat::Frequency10Hz> frequency;
    std::optional<std::uint8_t> mode;
    bool operator==(const SetValues&) const = default;
};

struct LastSet {
    SetValues main;     // outside satellite mode
    SetValues downlink; // satellite mode's receive VFO
    SetValues uplink;   // satellite mode's transmit VFO
    bool operator==(const LastSet&) const = default;

    // The VFO a request naming `vfo` reaches in or out of satellite mode.
    // Outside it the uplink cannot be set, and reads none.
    SetValues Of(Vfo vfo, bool satellite) const
    {
        if (vfo == Vfo::Uplink)
            return satellite ? uplink : SetValues{};
        return satellite ? downlink : main;
    }

    // A frequency or mode set that reached the line, as its turn decided it.
    void Take(const Request& request, bool satellite)
    {
        if (!request.Retunes() || (request.vfo == Vfo::Uplink && !satellite))
            return;
        SetValues& values = request.vfo == Vfo::Uplink ? uplink : satellite ? downlink : main;
        if (request.kind == Request::Kind::SetFrequency)
            values.frequency = request.value;
        else
            values.mode = std::uint8_t(request.value);
    }
};

} // namespace radio
