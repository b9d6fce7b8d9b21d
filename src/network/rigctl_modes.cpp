#include "rigctl_modes.h"

#include "cat_protocol.h"

namespace rigctl {
namespace {

constexpr bool RadioKnowsCode(std::uint8_t code)
{
    for (const auto& mode : cat::kModes)
        if (mode.code == code)
            return true;
    return false;
}

constexpr bool ModesMatchRadio()
{
    for (const auto& mode : kModes) {
        if (!RadioKnowsCode(mode.code))
            return false;
        if (mode.narrowHz > 0 && !RadioKnowsCode(mode.code | kNarrowBit))
            return false;
    }
    return true;
}
static_assert(ModesMatchRadio(), "every mode and narrow variant must be a radio mode code");
static_assert(AllModesMask() == 0xaf);

const ModeInfo* FindMode(std::string_view word)
{
    for (const auto& packet : kPacketModes)
        if (packet.word == word)
            word = packet.voiceMode;
    for (const auto& mode : kModes)
        if (mode.word == word)
            return &mode;
    return nullptr;
}

} // namespace

std::optional<ModeReading> ModeOfCode(std::uint8_t code)
{
    const bool narrow = (code & kNarrowBit) != 0;
    const auto normalCode = static_cast<std::uint8_t>(code & ~kNarrowBit);
    for (const auto& mode : kModes) {
        if (mode.code != normalCode)
            continue;
        if (!narrow)
            return ModeReading{mode.word, mode.normalHz};
        if (mode.narrowHz > 0)
            return ModeReading{mode.word, mode.narrowHz};
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> CodeForSetMode(std::string_view word, long passbandHz, std::uint8_t currentCode)
{
    const ModeInfo* mode = FindMode(word);
    if (!mode)
        return std::nullopt;
    bool narrow = false;
    if (passbandHz == kPassbandUnchanged)
        narrow = (currentCode & kNarrowBit) != 0;
    else if (passbandHz < 0)
        return std::nullopt;
    else if (passbandHz != kPassbandNormal)
        narrow = passbandHz <= mode->narrowHz;
    if (mode->narrowHz == 0)
        narrow = false;
    return static_cast<std::uint8_t>(narrow ? mode->code | kNarrowBit : mode->code);
}

} // namespace rigctl
