#pragma once
// The simulated transceiver: its tuning, mode and meters, transmit and
// satellite state, FM settings, the framing of the CAT byte stream into commands, and the
// fault shaping of replies.

#include "fm_settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
using Command = std::array<std::uint8_t, 5>;

namespace Opcode {
constexpr std::uint8_t CatOn = 0x00;
constexpr std::uint8_t SetFrequency = 0x01;
constexpr std::uint8_t ReadFrequencyMode = 0x03;
constexpr std::uint8_t SetMode = 0x07;
constexpr std::uint8_t PttOn = 0x08;
constexpr std::uint8_t SetRepeaterShift = 0x09;
constexpr std::uint8_t SetToneMode = 0x0A;
constexpr std::uint8_t SetCtcssTone = 0x0B;
constexpr std::uint8_t SetDcsCode = 0x0C;
constexpr std::uint8_t SetSatRxFrequency = 0x11;
constexpr std::uint8_t ReadSatRxFrequencyMode = 0x13;
constexpr std::uint8_t SetSatRxMode = 0x17;
constexpr std::uint8_t SetSatRxToneMode = 0x1A;
constexpr std::uint8_t SetSatRxCtcssTone = 0x1B;
constexpr std::uint8_t SetSatRxDcsCode = 0x1C;
constexpr std::uint8_t SetSatTxFrequency = 0x21;
constexpr std::uint8_t ReadSatTxFrequencyMode = 0x23;
constexpr std::uint8_t SetSatTxMode = 0x27;
constexpr std::uint8_t SetSatTxToneMode = 0x2A;
constexpr std::uint8_t SetSatTxCtcssTone = 0x2B;
constexpr std::uint8_t SetSatTxDcsCode = 0x2C;
constexpr std::uint8_t SatelliteOn = 0x4E;
constexpr std::uint8_t CatOff = 0x80;
constexpr std::uint8_t PttOff = 0x88;
constexpr std::uint8_t SatelliteOff = 0x8E;
constexpr std::uint8_t ReadRxStatus = 0xE7;
constexpr std::uint8_t ReadTxStatus = 0xF7;
constexpr std::uint8_t SetRepeaterOffset = 0xF9;
}

constexpr std::uint32_t MaxFrequency = 99999999; // 8 BCD digits, 10 Hz units
constexpr int MaxSMeter = 31;
constexpr int MaxPower = 31;
// E7's bit 7: clear while the squelch is open (a signal is heard).
constexpr std::uint8_t SquelchClosed = 0x80;

bool IsKnownMode(std::uint8_t code);
// Four packed BCD bytes, most significant pair first; nullopt on a non-decimal nibble.
std::optional<std::uint32_t> DecodeBcd(const std::uint8_t* bytes);
std::array<std::uint8_t, 4> EncodeBcd(std::uint32_t value);
// "01 42 00 00 01"
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);

struct Vfo {
    std::uint32_t frequency;
    std::uint8_t mode;
    FmSettings fm;
};

struct RadioState {
    std::uint32_t frequency = 1420000; // 14.200.00 MHz
    std::uint8_t mode = 0x01;          // USB
    FmSettings fm;
    // The repeater has one setting for every VFO.
    std::uint8_t shift = RepeaterShift::Simplex;
    std::uint32_t offset = 60000;      // 600.00 kHz, 10 Hz units
    int smeter = 8;
    std::uint8_t statusHigh = 0x00;    // OR'ed into the status byte, bits 5..7; bit 7 is the squelch
    // The radio transmits while either key is held. CAT 08/88 work the CAT
    // key only: 88 cannot release a microphone or a foot switch.
    bool catKey = false;
    bool panelKey = false;             // the microphone's PTT or a foot switch
    int power = 20;                    // the power-out meter, 0..31, read while transmitting
    // In satellite mode the downlink and uplink have VFOs of their own,
    // which keep their settings while the mode is off.
    bool satellite = false;
    Vfo satRx{43590000, 0x01, {}}; // 435.900.00 MHz USB
    Vfo satTx{14590000, 0x00, {}}; // 145.900.00 MHz LSB

    bool transmitting() const { return catKey || panelKey; }
    void setSquelchOpen(bool open)
    {
        statusHigh = static_cast<std::uint8_t>(open ? statusHigh & ~SquelchClosed : statusHigh | SquelchClosed);
    }
    // Applies one command; returns the reply when the command has one.
    std::optional<Bytes> apply(const Command& command);
    // One random-walk step of the S-meter, clamped to 0..31.
    void driftSMeter(std::mt19937& rng);
    // The same for the power-out meter.
    void driftPower(std::mt19937& rng);
};

// Collects bytes until five make a command.
class Framer {
public:
    std::optional<Command> push(std::uint8_t byte);
    bool empty() const { return count_ == 0; }
    Bytes partial() const { return Bytes(buffer_.begin(), buffer_.begin() + count_); }
    void clear() { count_ = 0; }

private:
    Command buffer_{};
    std::size_t count_ = 0;
};

struct FaultOptions {
    int shortBy = 0;         // drop this many bytes from the end of each reply
    int extra = 0;           // append this many 0xFE bytes
    bool loseInside = false; // drop the second byte of each reply
    bool dupInside = false;  // send the second byte of each reply twice
    int garbageEvery = 0;    // after every N-th reply one random byte
    double faultRate = 0.0;  // fraction of replies spoilt one of the FaultKind ways
    int freezeAfter = -1;    // stop replying after this many replies
};

// The ways --fault-rate spoils a reply, picked at random with equal odds.
enum class FaultKind { Short, StrayByte, Missing, LoseInside, DupInside };

// Loses or doubles the byte at `index` of a non-empty reply (the last byte
// when `index` is past the end).
void LoseByte(Bytes& reply, std::size_t index);
void DuplicateByte(Bytes& reply, std::size_t index);

// Turns the radio's reply into the bytes that go on the line.
class ReplyShaper {
public:
    explicit ReplyShaper(const FaultOptions& options) : options_(options) {}
    Bytes shape(Bytes reply, std::mt19937& rng);

private:
    FaultOptions options_;
    long replies_ = 0;
};
