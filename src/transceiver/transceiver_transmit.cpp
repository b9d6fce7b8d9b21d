// The Transceiver's turns on the line as the radio's state decides them:
// the transmitter's one holder, its time limit and the unkeys that cannot
// wait, and satellite mode.

#include "transceiver.h"

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
    const bool wasKeyed = turn_.keyed;
    const bool wasSatellite = turn_.satellite;
    turn_.keyed = decision.after.keyed;
    turn_.holder = decision.after.holder;
    turn_.satellite = decision.after.satellite;

    const quint64 serial = serial_ + 1; // the number dispatch gives it
    if (request.Retunes())
        reading(request.vfo).lastSetSerial = serial;
    const bool keys = !wasKeyed && turn_.keyed;
    RadioLink::SentHandler sent = [this, request, serial, keys, forgotten = readingsForgotten_,
                                   done = std::move(pending.done)](bool onLine) {
        if (onLine && request.Retunes() && forgotten == readingsForgotten_)
            commitSet(request, serial);
        if (keys)
            keyed(onLine);
        if (done)
            done(onLine ? radio::Outcome::Sent : radio::Outcome::NotSent);
    };
    dispatch(RadioLink::Make(*decision.bytes, {}, std::move(sent)));

    if (wasKeyed && !turn_.keyed)
        transmitLimit_.stop();
    if (wasKeyed != turn_.keyed)
        emit transmitChanged(turn_.keyed);
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

void Transceiver::keyed(bool sent)
{
    if (!turn_.keyed)
        return; // unkeyed again before the key was on the line
    if (sent) {
        // From the moment it is on the air; a repeated key does not restart it.
        transmitLimit_.start(transmitLimitS_ * 1000);
        return;
    }
    // The key may or may not have left on a stuck line: receive, to be sure.
    if (link_.PortOpen())
        forceUnkey({});
}

void Transceiver::forceUnkey(const QString& why)
{
    if (!turn_.keyed)
        return;
    transmitLimit_.stop();
    turn_.keyed = false;
    turn_.holder = -1;
    urgent_.push_back(RadioLink::Make(cat::MakeCommand(cat::PttOff)));
    emit transmitChanged(false);
    if (!why.isEmpty())
        emit transmitNotice(why);
    schedule();
}

void Transceiver::onTransmitLimit()
{
    forceUnkey(QStringLiteral("Transmission stopped: it reached the %1 s limit ([Transmit] Limit).")
                   .arg(transmitLimitS_));
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
    if (!turn_.keyed)
        return {};
    for (const Client& client : clients_)
        if (client.id == turn_.holder)
            return client.label;
    return {};
}

void Transceiver::StopTransmitting()
{
    forceUnkey(QStringLiteral("Transmission stopped at the radio. Programs may key it again once you allow it."));
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
