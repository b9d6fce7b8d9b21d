#pragma once
// The radio's modes and filter widths as the network protocol names them.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace rigctl {

// The radio marks the narrow filter by setting the top bit of the mode code.
inline constexpr std::uint8_t kNarrowBit = 0x80;

struct ModeInfo {
    std::string_view word;  // as the protocol spells it
    std::uint8_t code;      // radio mode code with the normal filter
    int normalHz;           // passband of the normal filter
    int narrowHz;           // passband of the narrow filter; 0 when there is none
    unsigned maskBit;       // the mode's bit in the capability masks
};

inline constexpr std::array<ModeInfo, 6> kModes{{
    {"LSB", 0x00, 2200, 0, 0x8},
    {"USB", 0x01, 2200, 0, 0x4},
    {"CW", 0x02, 2200, 500, 0x2},
    {"CWR", 0x03, 2200, 500, 0x80},
    {"AM", 0x04, 9000, 2200, 0x1},
    {"FM", 0x08, 15000, 9000, 0x20},
}};

// Data modes run on the plain voice modes: the radio has no separate codes.
struct PacketMode {
    std::string_view word;
    std::string_view voiceMode;
};
inline constexpr std::array<PacketMode, 3> kPacketModes{{
    {"PKTUSB", "USB"},
    {"PKTLSB", "LSB"},
    {"PKTFM", "FM"},
}};

// Every mode bit together: 0xaf.
constexpr unsigned AllModesMask()
{
    unsigned mask = 0;
    for (const auto& mode : kModes)
        mask |= mode.maskBit;
    return mask;
}

struct ModeReading {
    std::string_view word;
    int passbandHz;
};

// What `m` answers for a radio mode code; nothing for a code the radio
// should never report.
std::optional<ModeReading> ModeOfCode(std::uint8_t code);

// Passband arguments with a meaning of their own.
inline constexpr long kPassbandNormal = 0;
inline constexpr long kPassbandUnchanged = -1;

// The mode code that `M word passband` sets, given the code the radio is on
// now (for "unchanged"). Nothing for an unknown mode or a negative width
// other than "unchanged".
std::optional<std::uint8_t> CodeForSetMode(std::string_view word, long passbandHz, std::uint8_t currentCode);

} // namespace rigctl
