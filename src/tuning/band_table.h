#pragma once
// Favourite spots of the band buttons and the codes of the mode buttons.

#include <array>
#include <cstdint>

struct BandButton {
    const char* caption;
    int kilohertz;
    std::uint8_t modeCode;
};

inline constexpr std::array<BandButton, 8> kBandButtons{{
    {"1.8", 1825, 0x00},   // LSB
    {"3.5", 3600, 0x00},   // LSB
    {"7", 7050, 0x00},     // LSB
    {"14", 14200, 0x01},   // USB
    {"21", 21200, 0x01},   // USB
    {"28", 28500, 0x01},   // USB
    {"144", 145575, 0x08}, // FM
    {"433", 433425, 0x08}, // FM
}};

struct ModeButton {
    const char* caption;
    std::uint8_t modeCode;
};

inline constexpr std::array<ModeButton, 6> kModeButtons{{
    {"LSB", 0x00},
    {"USB", 0x01},
    {"CW", 0x02},
    {"FM", 0x08},
    {"AM", 0x04},
    {"CW(R)", 0x03},
}};
