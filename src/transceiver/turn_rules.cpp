#include "turn_rules.h"

#include "fm_rules.h"

namespace radio {
namespace {

TurnDecision Send(cat::CommandBytes bytes, TurnState after) { return {bytes, Outcome::Sent, after}; }
TurnDecision Answer(Outcome outcome, const TurnState& state) { return {std::nullopt, outcome, state}; }

TurnDecision Retune(const Request& request, const TurnState& state)
{
    if (state.keyed && !state.satellite)
        return Answer(Outcome::Refused, state);
    const bool uplink = request.vfo == Vfo::Uplink;
    if (uplink && !state.satellite)
        return Answer(Outcome::NotAvailable, state);
    if (request.kind == Request::Kind::SetMode) {
        const cat::Opcode opcode = !state.satellite ? cat::SetMode : uplink ? cat::SatTxSetMode : cat::SatRxSetMode;
        return Send(cat::MakeCommand(opcode, std::uint8_t(request.value)), state);
    }
    const cat::Opcode opcode =
        !state.satellite ? cat::SetFrequency : uplink ? cat::SatTxSetFrequency : cat::SatRxSetFrequency;
    const auto bytes = cat::SetFrequencyCommand(request.value, opcode);
    return bytes ? Send(*bytes, state) : Answer(Outcome::NotSent, state);
}

} // namespace

TurnDecision DecideTurn(const Request& request, int from, bool mayKey, const TurnState& state)
{
    TurnState after = state;
    switch (request.kind) {
    case Request::Kind::CatOn:
        return Send(cat::MakeCommand(cat::CatOn), state);
    case Request::Kind::SetFrequency:
    case Request::Kind::SetMode:
        return Retune(request, state);
    case Request::Kind::Key:
        if (state.keyed && state.holder == from)
            return Answer(Outcome::Sent, state); // already on the air; its time runs on
        if (state.keyed || !state.keyingOpen || !mayKey)
            return Answer(Outcome::Refused, state);
        after.keyed = true;
        after.holder = from;
        return Send(cat::MakeCommand(cat::PttOn), after);
    case Request::Kind::Unkey:
        if (!state.keyed || state.holder != from)
            return Answer(Outcome::Sent, state); // nothing of the sender's to release
        after.keyed = false;
        after.holder = -1;
        return Send(cat::MakeCommand(cat::PttOff), after);
    case Request::Kind::Receive:
        after.keyed = false;
        after.holder = -1;
        return Send(cat::MakeCommand(cat::PttOff), after);
    case Request::Kind::Satellite:
        if ((request.value != 0) == state.satellite)
            return Answer(Outcome::Sent, state); // already so: nothing moves
        if (state.keyed)
            return Answer(Outcome::Refused, state);
        after.satellite = request.value != 0;
        return Send(cat::MakeCommand(after.satellite ? cat::SatelliteOn : cat::SatelliteOff), after);
    case Request::Kind::ToneMode:
    case Request::Kind::Tone:
    case Request::Kind::DcsCode:
    case Request::Kind::Shift:
    case Request::Kind::Offset: {
        const FmDecision fm = DecideFm(request, state.satellite, state.keyed);
        return fm.bytes ? Send(*fm.bytes, state) : Answer(fm.answer, state);
    }
    }
    return Answer(Outcome::NotSent, state);
}

} // namespace radio
