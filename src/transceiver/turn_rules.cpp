#include "turn_rules.h"

#include "fm_rules.h"

namespace radio {
namespace {

TurnDecision Send(cat::CommandBytes bytes, TurnState after) { return {bytes, Outcome::Sent, after}; }
TurnDecision Answer(Outcome outcome, const TurnState& state) { return {std::nullopt, outcome, state}; }

TurnState With(TurnState state, Tx tx, int holder = -1)
{
    state.tx = tx;
    state.holder = holder;
    return state;
}

TurnDecision Retune(const Request& request, const TurnState& state)
{
    if (state.Transmitting() && !state.satellite)
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
        if (state.Keyed() && state.holder == from)
            return Answer(Outcome::Sent, state); // already on the air; its time runs on
        if (state.tx != Tx::Receive || state.Transmitting() || !state.keyingOpen || !mayKey)
            return Answer(Outcome::Refused, state);
        return Send(cat::MakeCommand(cat::PttOn), With(state, Tx::Keying, from));
    case Request::Kind::Unkey:
        if (!state.Keyed() || state.holder != from)
            return Answer(Outcome::Sent, state); // nothing of the sender's to release
        return Send(cat::MakeCommand(cat::PttOff), With(state, Tx::Unkeying));
    case Request::Kind::Receive:
        return Send(cat::MakeCommand(cat::PttOff), With(state, Tx::Unkeying));
    case Request::Kind::Satellite:
        if ((request.value != 0) == state.satellite)
            return Answer(Outcome::Sent, state); // already so: nothing moves
        if (state.Transmitting())
            return Answer(Outcome::Refused, state);
        after.satellite = request.value != 0;
        return Send(cat::MakeCommand(after.satellite ? cat::SatelliteOn : cat::SatelliteOff), after);
    case Request::Kind::ToneMode:
    case Request::Kind::Tone:
    case Request::Kind::DcsCode:
    case Request::Kind::Shift:
    case Request::Kind::Offset: {
        const FmDecision fm = DecideFm(request, state.satellite, state.Transmitting());
        return fm.bytes ? Send(*fm.bytes, state) : Answer(fm.answer, state);
    }
    }
    return Answer(Outcome::NotSent, state);
}

TxStep StepTransmitter(const TurnState& state, TxEvent event, bool portOpen, int client)
{
    TxStep step{state, std::nullopt, TxNotice::None};
    TurnState& after = step.after;
    // Receive becomes owed: it goes before anything else once the line is free.
    const auto unkeyDue = [&] { after = With(state, Tx::UnkeyDue); };
    // Nothing can reach the radio: say so, once.
    const auto portGone = [&] {
        if (state.tx == Tx::Receive || state.tx == Tx::MayTransmit)
            return;
        after = With(state, Tx::MayTransmit);
        step.notice = TxNotice::MayStillTransmit;
    };
    switch (event) {
    case TxEvent::LineFree:
        if (state.tx == Tx::UnkeyDue && portOpen) {
            after = With(state, Tx::Unkeying);
            step.bytes = cat::MakeCommand(cat::PttOff);
        }
        break;
    case TxEvent::HolderGone:
        if (state.Keyed() && state.holder == client)
            unkeyDue();
        break;
    case TxEvent::Limit:
        if (state.tx == Tx::OnAir)
            unkeyDue();
        break;
    case TxEvent::Stop:
        if (state.Keyed())
            unkeyDue();
        after.keyingOpen = false;
        break;
    case TxEvent::Allow:
        after.keyingOpen = true;
        break;
    case TxEvent::KeySent:
        // A key overtaken by an unkey stays overtaken.
        if (state.tx == Tx::Keying)
            after.tx = Tx::OnAir;
        break;
    case TxEvent::KeyLost:
        // It may or may not have left on a stuck line: receive, to be sure.
        if (state.tx == Tx::Keying) {
            if (portOpen)
                unkeyDue();
            else
                portGone();
        }
        break;
    case TxEvent::UnkeySent:
        if (state.tx == Tx::Unkeying) {
            after = With(state, Tx::Receive);
            step.notice = TxNotice::BackOnReceive;
        }
        break;
    case TxEvent::UnkeyLost:
        if (state.tx == Tx::Unkeying) {
            if (portOpen)
                unkeyDue(); // a stuck line: again, until it leaves or the port goes
            else
                portGone();
        }
        break;
    case TxEvent::PortOpened:
        // Keyed when its port went, or the unkey never left: it may still
        // be on the air, and receive goes out at once.
        if (state.tx == Tx::MayTransmit)
            unkeyDue();
        break;
    case TxEvent::PortClosing:
    case TxEvent::Shutdown:
        if (state.Keyed())
            unkeyDue();
        break;
    case TxEvent::PortGone:
        portGone();
        after.keyedAtRadio = after.receiveTried = false; // nothing is known of a radio out of reach
        break;
    case TxEvent::SeenTransmitting:
        if (state.tx != Tx::Receive || state.keyedAtRadio)
            break;
        if (state.receiveTried) {
            after.keyedAtRadio = true;
            step.notice = TxNotice::KeyedAtRadio;
        } else {
            unkeyDue();
            after.receiveTried = true;
        }
        break;
    case TxEvent::SeenReceiving:
        after.receiveTried = false;
        if (state.keyedAtRadio) {
            after.keyedAtRadio = false;
            step.notice = TxNotice::ReleasedAtRadio;
        }
        break;
    }
    return step;
}

} // namespace radio
