#pragma once
// The FT-847 CAT command set, its tuning limits and mode codes, as data,
// plus the BCD conversions. Pure: no I/O, no widgets.

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace cat {

// Frequencies travel in units of 10 Hz: 14.200.00 MHz is 1420000.
using Frequency10Hz = std::int32_t;

enum Opcode : std::uint8_t {
    CatOn = 0x00,             // take control of the radio
    SetFrequency = 0x01,      // P1..P4 = 8 BCD digits, most significant pair in P1
    ReadFrequencyMode = 0x03, // reply: 4 BCD bytes + mode code
    SetMode = 0x07,           // P1 = mode code
    PttOn = 0x08,             // transmit; the parameter bytes are ignored
    SetRepeaterShift = 0x09,  // P1 = 09 minus, 49 plus, 89 simplex
    SetToneMode = 0x0A,       // P1 = 0A DCS, 2A tone squelch, 4A tone encoder, 8A off
    SetCtcssTone = 0x0B,      // P1 = the tone's code (fm_cat.h)
    SetDcsCode = 0x0C,        // P1 P2 = the code's three digits in BCD
    SatRxSetFrequency = 0x11, // satellite mode: the downlink, as 0x01
    SatRxReadFrequencyMode = 0x13,
    SatRxSetMode = 0x17,
    SatRxSetToneMode = 0x1A,  // satellite mode: the downlink's tone settings, as 0x0A..0x0C
    SatRxSetCtcssTone = 0x1B,
    SatRxSetDcsCode = 0x1C,
    SatTxSetFrequency = 0x21, // satellite mode: the uplink, as 0x01
    SatTxReadFrequencyMode = 0x23,
    SatTxSetMode = 0x27,
    SatTxSetToneMode = 0x2A,  // satellite mode: the uplink's tone settings, as 0x0A..0x0C
    SatTxSetCtcssTone = 0x2B,
    SatTxSetDcsCode = 0x2C,
    SatelliteOn = 0x4E,       // full-duplex satellite mode
    CatOff = 0x80,            // hand the radio back
    PttOff = 0x88,            // receive
    SatelliteOff = 0x8E,
    ReadRxStatus = 0xE7,      // reply: 1 byte, S-meter in bits 0..4
    ReadTxStatus = 0xF7,      // reply: 1 byte, bit 7 clear while transmitting, power out in bits 0..4
    SetRepeaterOffset = 0xF9, // P1..P4 = 8 BCD digits of 10 Hz, as a frequency
};

struct OpcodeInfo {
    std::uint8_t opcode;
    int replyBytes;
    const char* name;
};

// Every opcode the program ever sends; nothing else goes on the line.
inline constexpr std::array<OpcodeInfo, 28> kOpcodes{{
    {CatOn, 0, "CAT on"},
    {SetFrequency, 0, "set frequency"},
    {ReadFrequencyMode, 5, "read frequency and mode"},
    {SetMode, 0, "set mode"},
    {PttOn, 0, "transmit"},
    {SetRepeaterShift, 0, "set repeater shift"},
    {SetToneMode, 0, "set tone mode"},
    {SetCtcssTone, 0, "set CTCSS tone"},
    {SetDcsCode, 0, "set DCS code"},
    {SatRxSetFrequency, 0, "set downlink frequency"},
    {SatRxReadFrequencyMode, 5, "read downlink frequency and mode"},
    {SatRxSetMode, 0, "set downlink mode"},
    {SatRxSetToneMode, 0, "set downlink tone mode"},
    {SatRxSetCtcssTone, 0, "set downlink CTCSS tone"},
    {SatRxSetDcsCode, 0, "set downlink DCS code"},
    {SatTxSetFrequency, 0, "set uplink frequency"},
    {SatTxReadFrequencyMode, 5, "read uplink frequency and mode"},
    {SatTxSetMode, 0, "set uplink mode"},
    {SatTxSetToneMode, 0, "set uplink tone mode"},
    {SatTxSetCtcssTone, 0, "set uplink CTCSS tone"},
    {SatTxSetDcsCode, 0, "set uplink DCS code"},
    {SatelliteOn, 0, "satellite mode on"},
    {CatOff, 0, "CAT off"},
    {PttOff, 0, "receive"},
    {SatelliteOff, 0, "satellite mode off"},
    {ReadRxStatus, 1, "read receiver status"},
    {ReadTxStatus, 1, "read transmitter status"},
    {SetRepeaterOffset, 0, "set repeater offset"},
}};

// Reply length of an opcode the program sends; -1 for anything else.
constexpr int ReplyLength(std::uint8_t opcode)
{
    for (const auto& info : kOpcodes)
        if (info.opcode == opcode)
            return info.replyBytes;
    return -1;
}

struct TuningRange {
    Frequency10Hz low;  // both ends included
    Frequency10Hz high;
};

inline constexpr std::array<TuningRange, 3> kTuningRanges{{
    {10000, 7600000},     // 100 kHz to 76 MHz
    {10800000, 17400000}, // 108 MHz to 174 MHz
    {42000000, 51200000}, // 420 MHz to 512 MHz
}};

constexpr bool InTuningRange(Frequency10Hz value)
{
    for (const auto& range : kTuningRanges)
        if (value >= range.low && value <= range.high)
            return true;
    return false;
}

struct ModeInfo {
    std::uint8_t code;
    const char* fileWord;    // word used in "Memories.txt"
    const char* displayText; // text in the mode box
};

// Order matters: lookups take the first match, as the radio's manual lists them.
inline constexpr std::array<ModeInfo, 10> kModes{{
    {0x00, "LSB", "LSB"},
    {0x01, "USB", "USB"},
    {0x02, "CW", "CW"},
    {0x03, "CWR", "CW-R"},
    {0x04, "AM", "AM"},
    {0x08, "FM", "FM"},
    {0x82, "CWN", "CW(N)"},
    {0x83, "CWRN", "CW(N)-R"},
    {0x84, "AMN", "AM(N)"},
    {0x88, "FMN", "FM(N)"},
}};

// "???" for a code the table does not know.
QString ModeText(std::uint8_t code);

// Exact, case-sensitive match against the memory-file words.
std::optional<std::uint8_t> ModeCodeForWord(const QString& word);

// Eight decimal digits of an in-range value, most significant first.
using DigitArray = std::array<int, 8>;
DigitArray FrequencyDigitsOf(Frequency10Hz value);

// Eight decimal digits (of 0..99999999) as four BCD bytes, most significant first.
std::array<std::uint8_t, 4> PackBcd(Frequency10Hz value);

// The four parameter bytes for a frequency, or nothing when it is out of range.
std::optional<std::array<std::uint8_t, 4>> PackFrequency(Frequency10Hz value);

// One whole command as it goes on the line: parameters P1..P4, then the opcode.
using CommandBytes = std::array<std::uint8_t, 5>;

constexpr CommandBytes MakeCommand(Opcode opcode, std::uint8_t p1 = 0)
{
    return CommandBytes{p1, 0, 0, 0, opcode};
}

// Set frequency with its BCD digits (0x01, or 0x11 / 0x21 for the satellite
// VFOs); nothing when the value is out of range.
std::optional<CommandBytes> SetFrequencyCommand(Frequency10Hz value, Opcode opcode = SetFrequency);

// The transmitter status byte (0xF7): keyed when bit 7 is clear; the power
// out meter in bits 0..4, on the S-meter's 0..31 scale.
constexpr bool TransmittingIn(std::uint8_t txStatus) { return (txStatus & 0x80) == 0; }
// E7's bit 7 is 0 while the squelch is open.
constexpr bool SquelchOpenIn(std::uint8_t rxStatus) { return (rxStatus & 0x80) == 0; }
constexpr int PowerOutLevel(std::uint8_t txStatus) { return txStatus & 0x1F; }

// kHz to 10 Hz units; nothing when the product does not fit 32 bits.
std::optional<Frequency10Hz> KilohertzTo10Hz(std::int64_t kilohertz);

// Reply bytes 0..3 written as two hex digits each: BCD bytes give the decimal
// digits directly ("01420000"). Needs at least four bytes.
QString FrequencyDigitsFromReply(const QByteArray& reply);

// The digit text read leniently as a decimal number (non-BCD nibbles stop it).
Frequency10Hz FrequencyFromDigits(const QString& digits);

} // namespace cat
