#pragma once
// What the network server needs of the radio: a snapshot of the last reading,
// a place in the line's turns for each client, and the two sets. The radio's
// state owner implements it.
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
    // A connection takes its place in the turns on the line; closing it
    // drops what it still has queued (reported as not sent).
    virtual int OpenClient() { return 0; }
    virtual void CloseClient(int /*client*/) {}
    // The client closed its end without saying q: it sends nothing more,
    // and CloseClient follows once the replies still owed are given, within
    // a few seconds. Called once, before CloseClient.
    virtual void ClientStoppedSending(int /*client*/) {}
    // Queue a set for the client's turn. `done(true)` once the command is
    // on the wire, `done(false)` when it could not be sent (port closed or
    // lost, or the program ending). `done` may run inside the call or later.
    virtual void SetFrequency(int client, std::int32_t frequency10Hz, std::function<void(bool sent)> done) = 0;
    virtual void SetMode(int client, std::uint8_t modeCode, std::function<void(bool sent)> done) = 0;
    // Calls `ready` once a fresh reading is in, or the radio did not give
    // one within a bounded wait; may run inside the call.
    virtual void AwaitReading(std::function<void()> ready) { ready(); }
};
