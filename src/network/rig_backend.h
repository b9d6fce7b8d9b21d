#pragma once
// What the network server needs of the radio: a snapshot of the last
// readings, a place in the line's turns for each client, and the actions a
// client may ask for. The radio's state owner implements it.
#include <QHostAddress>

#include <cstdint>
#include <functional>
#include <string>

struct RigSnapshot {
    bool portOpen = false;
    // False: the radio answers no read (an FT-847 before serial 8G05). The
    // readings are then what was last set, whatever their age; a VFO with
    // nothing set has no frequency (haveReading) or mode (haveMode), and
    // the meters, the squelch and the power are not known.
    bool answers = true;
    bool haveMode = true;
    bool haveUplinkMode = true;
    bool haveReading = false;    // a frequency reading was ever taken on this port
    std::int64_t readingAgeMs = -1; // ms since the last good reading; -1 when none
    std::int32_t frequency10Hz = 0; // last reading, or the value just set (10 Hz units)
    std::uint8_t modeCode = 0x01;   // radio mode code: 00 LSB 01 USB 02 CW 03 CWR 04 AM 08 FM, 82 83 84 88 narrow CW CWR AM FM
    int sMeterRaw = 0;              // 0..31
    std::int64_t meterAgeMs = -1;   // ms since the last meter reply; -1 when none
    bool squelchOpen = false;       // E7 bit 7 was 0 at the last E7 reading
    std::int64_t rxStatusAgeMs = -1; // ms since the last E7 reply; -1 when none
    int powerOutRaw = 0;            // F7 bits 0..4 while transmitting (0..31)
    std::int64_t txStatusAgeMs = -1; // ms since the last F7 reply; -1 when none
    bool transmitting = false;      // on the air as far as Solvane knows, whoever keyed it
    // Satellite mode: the fields above are the downlink's; these the uplink's.
    bool satellite = false;
    std::string satelliteTxVfo = "Sub"; // the TX VFO word that turned it on
    bool haveUplinkReading = false;
    std::int64_t uplinkAgeMs = -1;
    std::int32_t uplinkFrequency10Hz = 0;
    std::uint8_t uplinkModeCode = 0x01;
};

// What a client asks the radio to do. It is decided when its turn on the
// line comes, so a refusal depends on the radio's state then.
struct RigAction {
    // The last five are the FM settings, as radio::Request's kinds of the same names.
    enum class Kind { Frequency, Mode, Key, Unkey, Satellite, ToneMode, Tone, DcsCode, Shift, Offset };
    Kind kind = Kind::Frequency;
    bool uplink = false;            // Frequency, Mode, FM settings: satellite mode's transmit VFO
    bool vfoNamed = false;          // FM settings: the client named a VFO (`uplink` says which)
    std::int32_t value = 0;         // FM settings: as radio::Request's value
    std::int32_t frequency10Hz = 0; // Frequency: in tuning range
    std::uint8_t modeCode = 0;      // Mode: a radio mode code
    bool on = false;                // Satellite
    std::string txVfo;              // Satellite on: the TX VFO word the client named
};

enum class ActionResult {
    Done,         // on the line (or nothing needed to go)
    NotSent,      // port closed or lost, the line stuck, the program ending
    Refused,      // not now: the transmitter is keyed, or keying is not allowed
    NotAvailable, // not in this mode
};

class RigBackend {
public:
    virtual ~RigBackend() = default;
    virtual RigSnapshot Snapshot() const = 0;
    // A connection takes its place in the turns on the line; closing it
    // drops what it still has queued (reported NotSent) and unkeys a
    // transmitter it keyed. The peer's address decides whether it may key
    // the transmitter and names it to the person.
    virtual int OpenClient(const QHostAddress& /*address*/ = {}, quint16 /*port*/ = 0) { return 0; }
    virtual void CloseClient(int /*client*/) {}
    // The client closed its end without saying q: it sends nothing more and
    // can no longer unkey, and CloseClient follows once the replies still
    // owed are given, within a few seconds. Called once, before CloseClient.
    virtual void ClientStoppedSending(int /*client*/) {}
    // Queue an action for the client's turn. `done` may run inside the call
    // or later, once.
    virtual void Perform(int client, const RigAction& action, std::function<void(ActionResult)> done) = 0;
    // Calls `ready` once a fresh reading is in, or the radio did not give
    // one within a bounded wait; may run inside the call.
    virtual void AwaitReading(std::function<void()> ready) { ready(); }
};
