#include "fm_cat.h"

#include <algorithm>

namespace cat {
// Every entry given: a short list would end in zeros.
static_assert(kCtcssTones.back().tenthsHz == 2503 && kDcsCodes.back() == 754);

namespace {

Opcode InForm(Opcode mainForm, FmVfo vfo)
{
    return static_cast<Opcode>(mainForm | static_cast<std::uint8_t>(vfo));
}

} // namespace

std::optional<std::uint8_t> CtcssCode(int tenthsHz)
{
    for (const auto& tone : kCtcssTones)
        if (tone.tenthsHz == tenthsHz)
            return tone.code;
    return std::nullopt;
}

bool IsDcsCode(int code)
{
    return std::find(kDcsCodes.begin(), kDcsCodes.end(), code) != kDcsCodes.end();
}

CommandBytes ToneModeCommand(ToneMode mode, FmVfo vfo)
{
    return MakeCommand(InForm(SetToneMode, vfo), static_cast<std::uint8_t>(mode));
}

std::optional<CommandBytes> CtcssToneCommand(int tenthsHz, FmVfo vfo)
{
    const auto code = CtcssCode(tenthsHz);
    if (!code)
        return std::nullopt;
    return MakeCommand(InForm(SetCtcssTone, vfo), *code);
}

std::optional<CommandBytes> DcsCodeCommand(int code, FmVfo vfo)
{
    if (!IsDcsCode(code))
        return std::nullopt;
    // Three digits: the hundreds alone in P1, the tens and units in P2.
    const auto p2 = static_cast<std::uint8_t>((code / 10 % 10) * 16 + code % 10);
    return CommandBytes{static_cast<std::uint8_t>(code / 100), p2, 0, 0, InForm(SetDcsCode, vfo)};
}

CommandBytes RepeaterShiftCommand(int direction)
{
    const std::uint8_t p1 = direction < 0 ? 0x09 : direction > 0 ? 0x49 : 0x89;
    return MakeCommand(SetRepeaterShift, p1);
}

std::optional<CommandBytes> RepeaterOffsetCommand(Frequency10Hz offset)
{
    if (offset < 0 || offset > kMaxRepeaterOffset)
        return std::nullopt;
    const auto digits = PackBcd(offset);
    return CommandBytes{digits[0], digits[1], digits[2], digits[3], SetRepeaterOffset};
}

} // namespace cat
