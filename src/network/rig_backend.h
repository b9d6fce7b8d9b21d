#pragma once
// What the network server needs of the radio: a snapshot of the last reading
// and the two sets. The radio's state owner implements it.
#include <cstdint>
#include <functional>

struct RigSnapshot {
    bool portOpen = false;
    bool haveReading = false;    // a frequency reading was ever taken on this port
    std::int64_t readingAgeMs = -1; // ms since the last good reading; -1 when none
    std::int32_t frequency10Hz = 0; // last reading, or the value just set (10 Hz units)
    std::uint8_t modeCode = 0x01;   // radio mode code: 00 LSB 01 USB 02 CW 03 CWR 04 AM 08 FM, 82 83 84 88 narrow CW CWR AM FM
    int sMeterRaw = 0;              // 0..31
};

class RigBackend {
public:
    virtual ~RigBackend() = default;
    virtual RigSnapshot Snapshot() const = 0;
    // Queue a set in the radio's one command queue. `done(true)` once the
    // command is on the wire, `done(false)` when it could not be sent (port
    // closed or lost). `done` may run synchronously inside the call or later.
    virtual void SetFrequency(std::int32_t frequency10Hz, std::function<void(bool sent)> done) = 0;
    virtual void SetMode(std::uint8_t modeCode, std::function<void(bool sent)> done) = 0;
};
