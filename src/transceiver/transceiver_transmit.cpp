// The Transceiver's side of the transmitter: it applies what turn_rules
// decides (the one source of whether the radio is keyed or owes receive),
// runs the time limit, puts owed receive on the line ahead of everything,
// and tells the person what happened once it is true.

#include "transceiver.h"

namespace {

const QString kMayStillTransmit =
    QStringLiteral("The radio's port went before receive could reach it: it may still be transmitting. Switch it "
                   "to receive at the radio. Solvane sends receive as soon as the port is back.");
const QString kKeyedAtRadio =
    QStringLiteral("The radio is keyed at its microphone or foot switch: Solvane cannot release it. Tuning and "
                   "programs' keys wait until it is let go.");

} // namespace

radio::TurnState Transceiver::turnState() const
{
    radio::TurnState state = turn_;
    state.keyingOpen = keyingEnabled_ && !keyingStopped_;
    return state;
}

bool Transceiver::takeTurn(Pending pending, ClientId from, bool mayKey)
{
    const radio::Request request = pending.request;
    const radio::TurnDecision decision = radio::DecideTurn(request, from, mayKey, turnState());
    if (!decision.bytes) {
        if (pending.done)
            pending.done(decision.answer);
        return false;
    }
    const bool wasSatellite = turn_.satellite;
    const bool satellite = decision.after.satellite; // which VFOs a retune reaches
    const radio::Tx tx = decision.after.tx;
    const bool keys = tx == radio::Tx::Keying && turn_.tx != radio::Tx::Keying;
    const bool unkeys = tx == radio::Tx::Unkeying && turn_.tx != radio::Tx::Unkeying;

    const quint64 serial = serial_ + 1; // the number dispatch gives it
    if (request.Retunes())
        reading(request.vfo).lastSetSerial = serial;
    RadioLink::SentHandler sent = [this, request, serial, satellite, keys, unkeys, forgotten = readingsForgotten_,
                                   done = std::move(pending.done)](bool onLine) {
        if (onLine)
            lastSet_.Take(request, satellite);
        if (onLine && request.Retunes() && forgotten == readingsForgotten_)
            commitSet(request, serial);
        if (keys)
            applyTx(onLine ? radio::TxEvent::KeySent : radio::TxEvent::KeyLost);
        if (unkeys)
            unkeyOnLine(onLine);
        if (done)
            done(onLine ? radio::Outcome::Sent : radio::Outcome::NotSent);
    };
    // The state first: a port that closed meanwhile reports the command dropped at once.
    setTurn(decision.after);
    dispatch(RadioLink::Make(*decision.bytes, {}, std::move(sent)));

    if (wasSatellite != turn_.satellite) {
        // The readings were of the other mode's VFOs: nothing is answered
        // from them, and the round under way reads no more of them.
        forgetReadings();
        if (roundRunning_) {
            std::erase_if(roundReads_, [](radio::PollRead r) { return r != radio::PollRead::Meter; });
            if (roundReads_.empty())
                link_.Then([this] { finishRound(); });
        }
        roundDue_ = true;
        emit satelliteChanged(turn_.satellite);
    }
    return true;
}

void Transceiver::setTurn(const radio::TurnState& after)
{
    const bool wasTransmitting = turn_.Transmitting();
    turn_.tx = after.tx;
    turn_.holder = after.holder;
    turn_.satellite = after.satellite;
    turn_.keyedAtRadio = after.keyedAtRadio;
    turn_.receiveTried = after.receiveTried;
    // The limit counts from the key on the wire; a repeated key does not restart it.
    if (turn_.tx != radio::Tx::OnAir)
        transmitLimit_.stop();
    else if (!transmitLimit_.isActive())
        transmitLimit_.start(transmitLimitS_ * 1000);
    if (wasTransmitting != turn_.Transmitting())
        emit transmitChanged(turn_.Transmitting());
}

void Transceiver::applyTx(radio::TxEvent event, ClientId client, const QString& why)
{
    const bool wasDue = turn_.tx == radio::Tx::UnkeyDue;
    const radio::TxStep step = radio::StepTransmitter(turnState(), event, link_.PortOpen(), client);
    if (event == radio::TxEvent::KeySent || event == radio::TxEvent::UnkeySent)
        ownKeyChange_.start();
    setTurn(step.after);
    if (!wasDue && turn_.tx == radio::Tx::UnkeyDue) {
        unkeyReason_ = why;
        schedule(); // receive goes out now, ahead of everything
    }
    if (step.bytes)
        link_.SendUrgent(RadioLink::Make(*step.bytes, {}, [this](bool onLine) { unkeyOnLine(onLine); }));
    switch (step.notice) {
    case radio::TxNotice::None:
        break;
    case radio::TxNotice::BackOnReceive:
        if (!unkeyReason_.isEmpty())
            emit transmitNotice(unkeyReason_);
        unkeyReason_.clear();
        break;
    case radio::TxNotice::MayStillTransmit:
        unkeyReason_.clear();
        emit transmitNotice(kMayStillTransmit);
        break;
    case radio::TxNotice::KeyedAtRadio:
        emit transmitNotice(kKeyedAtRadio);
        break;
    case radio::TxNotice::ReleasedAtRadio:
        break; // "Receiving" says it
    }
    closeIfOnWire();
}

void Transceiver::unkeyOnLine(bool onLine) { applyTx(onLine ? radio::TxEvent::UnkeySent : radio::TxEvent::UnkeyLost); }

void Transceiver::onTransmitLimit()
{
    applyTx(radio::TxEvent::Limit, -1,
            QStringLiteral("Transmission stopped: it reached the %1 s limit ([Transmit] Limit).").arg(transmitLimitS_));
}

void Transceiver::dropQueuedKeys(ClientId client)
{
    Client* found = findClient(client);
    if (!found)
        return;
    std::deque<Pending> keys;
    std::erase_if(found->requests, [&](Pending& p) {
        if (p.request.kind != radio::Request::Kind::Key)
            return false;
        keys.push_back(std::move(p));
        return true;
    });
    for (auto& pending : keys)
        if (pending.done)
            pending.done(radio::Outcome::NotSent);
}

QString Transceiver::TransmitHolder() const
{
    if (!turn_.Keyed())
        return {};
    for (const Client& client : clients_)
        if (client.id == turn_.holder)
            return client.label;
    return {};
}

void Transceiver::StopTransmitting()
{
    applyTx(radio::TxEvent::Stop, -1,
            QStringLiteral("Transmission stopped at the radio. Programs may key it again once you allow it."));
    if (keyingStopped_)
        return;
    keyingStopped_ = true;
    emit keyingStoppedChanged(true);
}

void Transceiver::AllowKeying()
{
    if (!keyingStopped_)
        return;
    keyingStopped_ = false;
    emit keyingStoppedChanged(false);
}
