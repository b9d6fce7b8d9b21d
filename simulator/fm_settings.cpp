#include "fm_settings.h"

#include <algorithm>
#include <cstdio>

namespace {
struct CtcssTone {
    std::uint8_t code;
    int tenths; // of a hertz
};

// The radio's 39 tones and the codes its CAT takes for them.
constexpr CtcssTone CtcssTones[] = {
    {0x3F, 670},  {0x39, 693},  {0x1F, 719},  {0x3E, 744},  {0x0F, 770},  {0x3D, 797},  {0x1E, 825},
    {0x3C, 854},  {0x0E, 885},  {0x3B, 915},  {0x1D, 948},  {0x3A, 974},  {0x0D, 1000}, {0x1C, 1035},
    {0x0C, 1072}, {0x1B, 1109}, {0x0B, 1148}, {0x1A, 1188}, {0x0A, 1230}, {0x19, 1273}, {0x09, 1318},
    {0x18, 1365}, {0x08, 1413}, {0x17, 1462}, {0x07, 1514}, {0x16, 1567}, {0x06, 1622}, {0x15, 1679},
    {0x05, 1738}, {0x14, 1799}, {0x04, 1862}, {0x13, 1928}, {0x03, 2035}, {0x12, 2107}, {0x02, 2181},
    {0x11, 2257}, {0x01, 2336}, {0x10, 2418}, {0x00, 2503},
};

// The 104 standard DCS codes, their octal digits written as decimal numbers.
constexpr int DcsCodes[] = {
    23,  25,  26,  31,  32,  36,  43,  47,  51,  53,  54,  65,  71,  72,  73,  74,  114, 115, 116, 122, 125,
    131, 132, 134, 143, 145, 152, 155, 156, 162, 165, 172, 174, 205, 212, 223, 225, 226, 243, 244, 245, 246,
    251, 252, 255, 261, 263, 265, 266, 271, 274, 306, 311, 315, 325, 331, 332, 343, 346, 351, 356, 364, 365,
    371, 411, 412, 413, 423, 431, 432, 445, 446, 452, 454, 455, 462, 464, 465, 466, 503, 506, 516, 523, 526,
    532, 546, 565, 606, 612, 624, 627, 631, 632, 654, 662, 664, 703, 712, 723, 731, 732, 734, 743, 754,
};

std::optional<int> BcdPair(std::uint8_t byte)
{
    if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
        return std::nullopt;
    return (byte >> 4) * 10 + (byte & 0x0F);
}
} // namespace

std::optional<int> CtcssTenths(std::uint8_t code)
{
    for (const CtcssTone& tone : CtcssTones)
        if (tone.code == code)
            return tone.tenths;
    return std::nullopt;
}

bool IsDcsCode(int code) { return std::find(std::begin(DcsCodes), std::end(DcsCodes), code) != std::end(DcsCodes); }

std::optional<int> DecodeDcs(std::uint8_t p1, std::uint8_t p2)
{
    const auto high = BcdPair(p1);
    const auto low = BcdPair(p2);
    if (!high || !low)
        return std::nullopt;
    return *high * 100 + *low;
}

bool IsKnownShift(std::uint8_t code)
{
    return code == RepeaterShift::Minus || code == RepeaterShift::Plus || code == RepeaterShift::Simplex;
}

void FmSettings::apply(const std::array<std::uint8_t, 5>& command)
{
    const std::uint8_t p1 = command[0];
    switch (command[4] & 0x0F) {
    case 0x0A:
        if (p1 == ToneMode::Dcs || p1 == ToneMode::ToneSquelch || p1 == ToneMode::ToneEncoder || p1 == ToneMode::Off)
            toneMode = p1;
        break;
    case 0x0B:
        if (CtcssTenths(p1))
            ctcssCode = p1;
        break;
    case 0x0C:
        if (const auto code = DecodeDcs(p1, command[1]); code && IsDcsCode(*code))
            dcsCode = *code;
        break;
    default:
        break;
    }
}

std::string ToneModeName(std::uint8_t mode)
{
    switch (mode) {
    case ToneMode::Dcs:
        return "DCS";
    case ToneMode::ToneSquelch:
        return "tone squelch";
    case ToneMode::ToneEncoder:
        return "tone encoder";
    default:
        return "off";
    }
}

std::string CtcssName(std::uint8_t code)
{
    const int tenths = CtcssTenths(code).value_or(0);
    return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10) + " Hz";
}

std::string DcsName(int code)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03d", code);
    return text;
}

std::string ShiftName(std::uint8_t shift)
{
    return shift == RepeaterShift::Minus ? "minus" : shift == RepeaterShift::Plus ? "plus" : "simplex";
}
