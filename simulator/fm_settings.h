#pragma once
// The FM settings the radio takes over CAT but cannot report: tone mode,
// CTCSS tone and DCS code (one set per VFO form), repeater shift and offset.
// A parameter the radio does not know leaves the setting as it was.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ToneMode {
constexpr std::uint8_t Dcs = 0x0A;
constexpr std::uint8_t ToneSquelch = 0x2A; // CTCSS encode and decode
constexpr std::uint8_t ToneEncoder = 0x4A;
constexpr std::uint8_t Off = 0x8A;
}

namespace RepeaterShift {
constexpr std::uint8_t Minus = 0x09;
constexpr std::uint8_t Plus = 0x49;
constexpr std::uint8_t Simplex = 0x89;
}

struct FmSettings {
    std::uint8_t toneMode = ToneMode::Off;
    std::uint8_t ctcssCode = 0x0E; // 88.5 Hz
    int dcsCode = 23;              // the code's three digits as a decimal number: 023

    bool operator==(const FmSettings&) const = default;
    // Tone mode (low nibble A), CTCSS tone (B) or DCS code (C), from P1 (P2).
    void apply(const std::array<std::uint8_t, 5>& command);
};

// The tone of a CTCSS code in tenths of a hertz; nullopt for a code the radio lacks.
std::optional<int> CtcssTenths(std::uint8_t code);
bool IsDcsCode(int code);
// P1 P2 as four BCD digits (00 23 = 023); nullopt on a non-decimal nibble.
std::optional<int> DecodeDcs(std::uint8_t p1, std::uint8_t p2);
bool IsKnownShift(std::uint8_t code);

// For the log: "tone encoder", "67.0 Hz", "023", "plus".
std::string ToneModeName(std::uint8_t mode);
std::string CtcssName(std::uint8_t code);
std::string DcsName(int code);
std::string ShiftName(std::uint8_t shift);
