#include "fm_rules.h"

#include "fm_cat.h"

#include <array>

namespace radio {
namespace {

FmDecision Send(const std::optional<cat::CommandBytes>& bytes)
{
    // A value no sender should have let through: nothing goes.
    return bytes ? FmDecision{bytes, Outcome::Sent} : FmDecision{std::nullopt, Outcome::NotSent};
}

FmDecision Answer(Outcome outcome) { return {std::nullopt, outcome}; }

std::optional<cat::FmVfo> ToneVfo(const Request& request, bool satellite)
{
    if (!satellite)
        return request.vfo == Vfo::Uplink ? std::nullopt : std::optional(cat::FmVfo::Main);
    return request.vfoNamed && request.vfo == Vfo::Current ? cat::FmVfo::Downlink : cat::FmVfo::Uplink;
}

// Request values 0..3, in order.
constexpr std::array<cat::ToneMode, 4> kToneModes{
    cat::ToneMode::Off, cat::ToneMode::Encoder, cat::ToneMode::ToneSquelch, cat::ToneMode::DcsSquelch};

} // namespace

FmDecision DecideFm(const Request& request, bool satellite, bool transmitting)
{
    if (request.kind == Request::Kind::Shift || request.kind == Request::Kind::Offset) {
        if (transmitting)
            return Answer(Outcome::Refused);
        return request.kind == Request::Kind::Shift ? Send(cat::RepeaterShiftCommand(request.value))
                                                    : Send(cat::RepeaterOffsetCommand(request.value));
    }
    const auto vfo = ToneVfo(request, satellite);
    if (!vfo)
        return Answer(Outcome::NotAvailable);
    switch (request.kind) {
    case Request::Kind::ToneMode:
        if (request.value < 0 || request.value >= int(kToneModes.size()))
            return Send(std::nullopt);
        return Send(cat::ToneModeCommand(kToneModes[request.value], *vfo));
    case Request::Kind::Tone:
        return Send(cat::CtcssToneCommand(request.value, *vfo));
    case Request::Kind::DcsCode:
        return Send(cat::DcsCodeCommand(request.value, *vfo));
    default:
        return Send(std::nullopt);
    }
}

} // namespace radio
