#pragma once
// The FT-847's FM settings over CAT: its CTCSS tones and DCS codes as data,
// and the commands that set the tone mode, the tone, the DCS code and the
// repeater shift and offset. Pure. The radio cannot report any of them.

#include "cat_protocol.h"

#include <array>
#include <cstdint>
#include <optional>

namespace cat {

// The VFO a tone-mode, tone or DCS command goes to: its opcode's high
// nibble. The repeater shift and offset have one form only.
enum class FmVfo : std::uint8_t { Main = 0x00, Downlink = 0x10, Uplink = 0x20 };

// P1 of the tone-mode command. The radio has one tone mode at a time.
enum class ToneMode : std::uint8_t { Off = 0x8A, Encoder = 0x4A, ToneSquelch = 0x2A, DcsSquelch = 0x0A };

struct CtcssTone {
    int tenthsHz; // 885 is 88.5 Hz
    std::uint8_t code; // P1 of the tone command
};

// The radio's 39 tones, lowest first. The codes follow no order of their own.
inline constexpr std::array<CtcssTone, 39> kCtcssTones{{
    {670, 0x3F}, {693, 0x39}, {719, 0x1F}, {744, 0x3E}, {770, 0x0F}, {797, 0x3D}, {825, 0x1E}, {854, 0x3C},
    {885, 0x0E}, {915, 0x3B}, {948, 0x1D}, {974, 0x3A}, {1000, 0x0D}, {1035, 0x1C}, {1072, 0x0C}, {1109, 0x1B},
    {1148, 0x0B}, {1188, 0x1A}, {1230, 0x0A}, {1273, 0x19}, {1318, 0x09}, {1365, 0x18}, {1413, 0x08}, {1462, 0x17},
    {1514, 0x07}, {1567, 0x16}, {1622, 0x06}, {1679, 0x15}, {1738, 0x05}, {1799, 0x14}, {1862, 0x04}, {1928, 0x13},
    {2035, 0x03}, {2107, 0x12}, {2181, 0x02}, {2257, 0x11}, {2336, 0x01}, {2418, 0x10}, {2503, 0x00},
}};

// The 104 standard DCS codes, as numbers: 23 is code 023.
inline constexpr std::array<int, 104> kDcsCodes{{
    23, 25, 26, 31, 32, 36, 43, 47, 51, 53, 54, 65, 71, 72, 73, 74, 114, 115, 116,
    122, 125, 131, 132, 134, 143, 145, 152, 155, 156, 162, 165, 172, 174, 205, 212, 223, 225, 226,
    243, 244, 245, 246, 251, 252, 255, 261, 263, 265, 266, 271, 274, 306, 311, 315, 325, 331, 332,
    343, 346, 351, 356, 364, 365, 371, 411, 412, 413, 423, 431, 432, 445, 446, 452, 454, 455, 462,
    464, 465, 466, 503, 506, 516, 523, 526, 532, 546, 565, 606, 612, 624, 627, 631, 632, 654, 662,
    664, 703, 712, 723, 731, 732, 734, 743, 754,
}};

// The repeater offset's eight BCD digits, in 10 Hz units: up to 999.99999 MHz.
inline constexpr Frequency10Hz kMaxRepeaterOffset = 99999999;

// The radio's code for a tone; nothing for a tone it does not have.
std::optional<std::uint8_t> CtcssCode(int tenthsHz);
bool IsDcsCode(int code);

CommandBytes ToneModeCommand(ToneMode mode, FmVfo vfo);
// Nothing for a tone or code the radio does not have.
std::optional<CommandBytes> CtcssToneCommand(int tenthsHz, FmVfo vfo);
std::optional<CommandBytes> DcsCodeCommand(int code, FmVfo vfo);
// Below zero minus, above it plus, zero simplex.
CommandBytes RepeaterShiftCommand(int direction);
// Nothing for a negative offset or one past eight digits.
std::optional<CommandBytes> RepeaterOffsetCommand(Frequency10Hz offset);

} // namespace cat
