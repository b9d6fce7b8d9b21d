#pragma once
// What a sender asks of the radio, as data. It becomes CAT bytes only when
// its turn on the line comes (turn_rules.h), from the radio's state then:
// a frequency set queued before satellite mode went on goes to the downlink,
// and a set queued before the transmitter was keyed is refused.

#include <cstdint>

namespace radio {

// Which of the radio's VFOs a request names. Current is the main VFO, or in
// satellite mode the downlink (what the window shows); Uplink is the
// satellite mode's transmit VFO.
enum class Vfo { Current, Uplink };

// How a request ended, for its sender.
enum class Outcome {
    Sent,         // on the line; or nothing needed to go (an unkey by a program that holds nothing)
    NotSent,      // dropped: the port closed or was lost, the line stuck, the program ending
    Refused,      // not now: the transmitter is keyed, or keying is not allowed
    NotAvailable, // not in this mode: the uplink outside satellite mode
};

struct Request {
    // Receive: unkey whoever keyed, or a radio keyed before Solvane took it.
    // The last five are the FM settings (fm_rules.h).
    enum class Kind { CatOn, SetFrequency, SetMode, Key, Unkey, Receive, Satellite,
                      ToneMode, Tone, DcsCode, Shift, Offset };
    Kind kind = Kind::CatOn;
    Vfo vfo = Vfo::Current;
    // SetFrequency: 10 Hz units, in tuning range; SetMode: a mode code;
    // Satellite: 1 on, 0 off; ToneMode: 0 off, 1 tone encoder, 2 tone
    // squelch, 3 DCS squelch; Tone: tenths of Hz (885 is 88.5 Hz); DcsCode:
    // the code as a number (23 is 023); Shift: -1 minus, 0 simplex, +1 plus;
    // Offset: 10 Hz units.
    std::int32_t value = 0;
    // The sender named a VFO (`vfo` says which). In satellite mode a tone
    // setting that names none goes to the uplink, where FM satellites want
    // their tone, while a frequency goes to the downlink.
    bool vfoNamed = false;

    // Changes what the radio is tuned to: what reads after it must wait for.
    bool Retunes() const { return kind == Kind::SetFrequency || kind == Kind::SetMode; }
};

} // namespace radio
