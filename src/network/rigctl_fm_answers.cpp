#include "rigctl_fm_answers.h"

#include "fm_cat.h"
#include "rigctl_answers.h"
#include "rigctl_numbers.h"

#include <algorithm>
#include <array>

namespace rigctl {
namespace {

// The function names clients know. Of them the radio has only its tone
// modes; the others are not available, and any other word is no function.
constexpr std::array<std::string_view, 49> kFunctionNames{{
    "FAGC", "NB", "COMP", "VOX", "TONE", "TSQL", "SBKIN", "FBKIN", "ANF", "NR", "AIP", "APF", "MON",
    "MN", "RF", "ARO", "LOCK", "MUTE", "VSC", "REV", "SQL", "ABM", "BC", "MBC", "RIT", "AFC",
    "SATMODE", "SCOPE", "RESUME", "TBURST", "TUNER", "XIT", "NB2", "DSQL", "AFLT", "ANL", "BC2",
    "DUAL_WATCH", "DIVERSITY", "CSQL", "SCEN", "SLICE", "TRANSCEIVE", "SPECTRUM", "SPECTRUM_HOLD",
    "SEND_MORSE", "SEND_VOICE_MEM", "OVF_STATUS", "SYNC",
}};

// Each function's tone mode when on (radio::Request's ToneMode values).
// The radio has one tone mode at a time: turning any of them off turns the
// tone mode off.
struct ToneFunction {
    std::string_view name;
    std::int32_t toneMode;
};
constexpr std::array<ToneFunction, 3> kToneFunctions{{{"TONE", 1}, {"TSQL", 2}, {"CSQL", 3}}};

Answer Reply(const Request& request, int code)
{
    return Answer{Format(request, code), std::nullopt, false};
}

Answer Queue(const Request& request, const RigSnapshot& radio, RigAction action)
{
    if (!radio.portOpen)
        return Reply(request, kIoError);
    return Answer{{}, action, false};
}

// A tone setting goes to the VFO the client named; the transmit VFO exists
// only in satellite mode.
Answer QueueTone(const Request& request, const RigSnapshot& radio, RigAction::Kind kind, std::int32_t value)
{
    RigAction action;
    action.kind = kind;
    action.value = value;
    action.vfoNamed = !request.vfo.empty();
    action.uplink = NamesTransmitVfo(request.vfo);
    if (action.uplink && !radio.satellite)
        return Reply(request, kNotAvailable);
    return Queue(request, radio, action);
}

Answer SetFunction(const Request& request, const RigSnapshot& radio)
{
    const std::string& name = request.arguments[0];
    const auto tone = std::find_if(kToneFunctions.begin(), kToneFunctions.end(),
                                   [&](const ToneFunction& f) { return f.name == name; });
    if (tone == kToneFunctions.end()) {
        const bool known = std::find(kFunctionNames.begin(), kFunctionNames.end(), name) != kFunctionNames.end();
        return Reply(request, known ? kNotAvailable : kInvalidArgument);
    }
    const auto on = ParseInteger(request.arguments[1]);
    if (!on)
        return Reply(request, kInvalidArgument);
    return QueueTone(request, radio, RigAction::Kind::ToneMode, *on != 0 ? tone->toneMode : 0);
}

// A whole number small enough to be a tone or a code; nothing otherwise.
std::optional<int> SmallNumber(std::string_view word)
{
    const auto value = ParseInteger(word);
    if (!value || *value < 0 || *value > 9999)
        return std::nullopt;
    return int(*value);
}

Answer SetCtcssTone(const Request& request, const RigSnapshot& radio)
{
    const auto tenthsHz = SmallNumber(request.arguments[0]);
    if (!tenthsHz || !cat::CtcssCode(*tenthsHz))
        return Reply(request, kInvalidArgument);
    return QueueTone(request, radio, RigAction::Kind::Tone, *tenthsHz);
}

Answer SetDcsCode(const Request& request, const RigSnapshot& radio)
{
    const auto code = SmallNumber(request.arguments[0]);
    if (!code || !cat::IsDcsCode(*code))
        return Reply(request, kInvalidArgument);
    return QueueTone(request, radio, RigAction::Kind::DcsCode, *code);
}

// "+" and "-"; any other word is simplex, as clients send "None" for it.
// The shift and offset have one form, whatever VFO the client names.
Answer SetRepeaterShift(const Request& request, const RigSnapshot& radio)
{
    const std::string& word = request.arguments[0];
    RigAction action;
    action.kind = RigAction::Kind::Shift;
    action.value = word == "+" ? 1 : word == "-" ? -1 : 0;
    return Queue(request, radio, action);
}

// In Hz, cut to the radio's 10 Hz step as frequencies are.
Answer SetRepeaterOffset(const Request& request, const RigSnapshot& radio)
{
    const auto offset = ParseFrequency10Hz(request.arguments[0]);
    if (!offset || *offset > cat::kMaxRepeaterOffset)
        return Reply(request, kInvalidArgument);
    RigAction action;
    action.kind = RigAction::Kind::Offset;
    action.value = *offset;
    return Queue(request, radio, action);
}

} // namespace

Answer RespondFm(const Request& request, const RigSnapshot& radio)
{
    switch (request.command->action) {
    case Action::SetFunction: return SetFunction(request, radio);
    case Action::SetCtcssTone: return SetCtcssTone(request, radio);
    case Action::SetDcsCode: return SetDcsCode(request, radio);
    case Action::SetRepeaterShift: return SetRepeaterShift(request, radio);
    case Action::SetRepeaterOffset: return SetRepeaterOffset(request, radio);
    default: return Reply(request, kNotAvailable);
    }
}

} // namespace rigctl
