// The Transceiver's keeping of the line's time: the poll, the window's
// holds, the clients' turns, and what goes on the line next.

#include "transceiver.h"

#include "line_schedule.h"

#include <algorithm>

// --- Poll ---------------------------------------------------------------------------

void Transceiver::StartPolling()
{
    polling_ = true;
    pollTimer_.stop(); // a fresh start restarts the cadence
    updateTimer();
}

void Transceiver::PollOnlyForClients(bool onDemand)
{
    onDemand_ = onDemand;
    updateTimer();
}

void Transceiver::PollNow()
{
    roundDue_ = true;
    schedule();
}

void Transceiver::HoldReads(bool held)
{
    readsHeld_ = held;
    // A read waiting on a silent radio would hold the Settings request up.
    if (ReadsHeld())
        link_.BreakWait();
}

void Transceiver::PausePolling(PollPause holder, bool paused)
{
    if (paused) {
        pauses_.insert(holder);
    } else if (pauses_.erase(holder) && pauses_.empty()) {
        pollTimer_.stop(); // the window's tick starts over, as a restarted timer does
    }
    updateTimer();
}

void Transceiver::updateTimer()
{
    const bool run = polling_ && !shuttingDown_ && (!clients_.empty() || (!onDemand_ && pauses_.empty()));
    if (run && !pollTimer_.isActive())
        pollTimer_.start();
    else if (!run)
        pollTimer_.stop();
}

void Transceiver::onPollTick()
{
    if (!link_.PortOpen() || ReadsHeld()) {
        // A tick with nothing to read still ends, so the window's tick runs.
        if (!roundRunning_)
            emit roundFinished();
        return;
    }
    // One round due at a time: a tick while one is waiting adds nothing.
    roundDue_ = true;
    schedule();
}

bool Transceiver::Busy() const
{
    if (link_.Busy() || turn_.tx == radio::Tx::UnkeyDue || !windowQueue_.empty())
        return true;
    return std::any_of(clients_.begin(), clients_.end(), [](const Client& c) { return !c.requests.empty(); });
}

// --- Clients ------------------------------------------------------------------------

Transceiver::ClientId Transceiver::OpenClient(const QString& label, bool mayKey)
{
    const ClientId id = ++lastClientId_;
    clients_.push_back({id, label, mayKey, false, {}});
    updateTimer();
    // A server that polls for its clients only: the first read is not kept waiting a tick.
    if (onDemand_ && clients_.size() == 1)
        PollNow();
    return id;
}

Transceiver::Client* Transceiver::findClient(ClientId id)
{
    const auto found = std::find_if(clients_.begin(), clients_.end(), [&](const Client& c) { return c.id == id; });
    return found == clients_.end() ? nullptr : &*found;
}

void Transceiver::CloseClient(ClientId client)
{
    Client* found = findClient(client);
    if (!found)
        return;
    const std::size_t index = std::size_t(found - clients_.data());
    std::deque<Pending> dropped = std::move(found->requests);
    const QString label = found->label;
    clients_.erase(clients_.begin() + std::ptrdiff_t(index));
    if (nextClient_ > index)
        --nextClient_;
    applyTx(radio::TxEvent::HolderGone, client,
            QStringLiteral("The program at %1 went away while transmitting: the radio is back on receive.").arg(label));
    updateTimer();
    for (auto& pending : dropped)
        if (pending.done)
            pending.done(radio::Outcome::NotSent);
}

void Transceiver::ClientStoppedSending(ClientId client)
{
    Client* found = findClient(client);
    if (!found)
        return;
    // It can no longer unkey: whatever it keyed ends now, and a key it sent
    // before it stopped, read or not yet, never goes out.
    found->stoppedSending = true;
    applyTx(radio::TxEvent::HolderGone, client,
            QStringLiteral("The program at %1 closed its connection while transmitting: the radio is back on receive.")
                .arg(found->label));
    dropQueuedKeys(client);
}

void Transceiver::AwaitReading(std::function<void()> ready)
{
    // A radio that cannot answer gives no fresher reading than what was set.
    if (!link_.PortOpen() || !answers_) {
        ready();
        return;
    }
    readingWaiters_.push_back(std::move(ready));
    if (!readingWaitTimer_.isActive())
        readingWaitTimer_.start(FreshReadingWaitMs);
    PollNow();
}

void Transceiver::releaseReadingWaiters()
{
    readingWaitTimer_.stop();
    auto waiters = std::move(readingWaiters_);
    readingWaiters_.clear();
    for (auto& ready : waiters)
        ready();
}

// --- Queues and the line ------------------------------------------------------------

void Transceiver::queue(Pending pending, ClientId from)
{
    if (!link_.PortOpen() || shuttingDown_ || closing_) {
        if (pending.done)
            pending.done(radio::Outcome::NotSent);
        return;
    }
    Client* client = from == kWindow ? nullptr : findClient(from);
    if (from == kWindow) {
        windowQueue_.push_back(std::move(pending));
    } else if (client && !(client->stoppedSending && pending.request.kind == radio::Request::Kind::Key)) {
        client->requests.push_back(std::move(pending));
    } else {
        if (pending.done)
            pending.done(radio::Outcome::NotSent);
        return;
    }
    schedule();
}

bool Transceiver::setsQueued() const
{
    // Only what retunes the VFO the window shows: the uplink's sets, which a
    // Doppler-tracking program sends every cycle, leave its reading current.
    const auto isSet = [](const Pending& p) { return p.request.Retunes() && p.request.vfo == radio::Vfo::Current; };
    if (std::any_of(windowQueue_.begin(), windowQueue_.end(), isSet))
        return true;
    return std::any_of(clients_.begin(), clients_.end(), [&](const Client& client) {
        return std::any_of(client.requests.begin(), client.requests.end(), isSet);
    });
}

void Transceiver::schedule()
{
    // Turns that send nothing (a refusal, an unkey of nothing) leave the
    // line free for the next one; a handler they call may queue more, which
    // this loop takes in turn.
    if (scheduling_) {
        rescheduled_ = true;
        return;
    }
    scheduling_ = true;
    do {
        rescheduled_ = false;
        // Owed receive does not wait for its turn, nor for a closing port or
        // the shutdown: the link puts it on after the bytes on the wire and
        // a reply arriving or due, never after a wait for an overdue one.
        if (turn_.tx == radio::Tx::UnkeyDue && link_.PortOpen())
            applyTx(radio::TxEvent::LineFree);
        takeTurns();
    } while (rescheduled_);
    scheduling_ = false;
}

void Transceiver::takeTurns()
{
    while (!link_.Busy() && !shuttingDown_ && !closing_) {
        if (!roundRunning_ && roundDue_ && (!link_.PortOpen() || ReadsHeld())) {
            // Held since the tick that made it due: the round ends without reads.
            roundDue_ = false;
            emit roundFinished();
        }
        if (!roundRunning_ && roundDue_ && !answers_) {
            // Nothing to read from a radio that cannot answer: the round is
            // the tuning asked for meanwhile, from what was last set.
            roundDue_ = false;
            roundStartSerial_ = serial_;
            finishRound();
            continue;
        }
        LineDemand demand;
        demand.urgentWaiting = turn_.tx == radio::Tx::UnkeyDue;
        demand.windowWaiting = !windowQueue_.empty();
        demand.pollDue = roundRunning_ ? !roundReads_.empty() : roundDue_;
        demand.lastWasPoll = lastTurnWasPoll_;
        demand.nextClient = nextClient_;
        for (const Client& client : clients_)
            demand.clientWaiting.push_back(!client.requests.empty());

        const LineTurn turn = NextTurn(demand);
        switch (turn.kind) {
        case LineTurn::Kind::Nothing:
            return;
        case LineTurn::Kind::Urgent:
            applyTx(radio::TxEvent::LineFree);
            if (!link_.Busy())
                return; // nothing could go
            break;
        case LineTurn::Kind::Window: {
            // What the person queued together goes out together.
            std::deque<Pending> requests = std::move(windowQueue_);
            windowQueue_.clear();
            for (auto& pending : requests)
                takeTurn(std::move(pending), kWindow, false);
            break;
        }
        case LineTurn::Kind::Poll:
            pollTurn();
            break;
        case LineTurn::Kind::Client: {
            Client& client = clients_[turn.client];
            Pending pending = std::move(client.requests.front());
            client.requests.pop_front();
            nextClient_ = (turn.client + 1) % clients_.size();
            // A turn that sent nothing took no line time from the poll.
            if (takeTurn(std::move(pending), client.id, client.mayKey))
                lastTurnWasPoll_ = false;
            break;
        }
        }
    }
}

void Transceiver::pollTurn()
{
    if (!roundRunning_) {
        roundDue_ = false;
        roundRunning_ = true;
        const auto reads = radio::RoundReads(turn_.satellite);
        roundReads_.assign(reads.begin(), reads.end());
        roundStartSerial_ = serial_;
    }
    lastTurnWasPoll_ = true;
    const radio::PollRead next = roundReads_.front();
    roundReads_.pop_front();
    read(next);
    if (roundReads_.empty())
        link_.Then([this] { finishRound(); });
}

void Transceiver::finishRound()
{
    roundRunning_ = false;
    if (link_.PortOpen())
        ApplyPendingTuning();
    emit roundFinished();
    // Only a round that brought a reading answers a client waiting for one;
    // after a silent radio's round, or one cut short by a switch of
    // satellite mode, it waits on, at most FreshReadingWaitMs.
    if (current().serial > roundStartSerial_)
        releaseReadingWaiters();
}

quint64 Transceiver::dispatch(RadioLink::Command command)
{
    // Numbered as it goes to the link: from here on nothing reorders it.
    ++serial_;
    link_.SendCommand(std::move(command));
    return serial_;
}

void Transceiver::resetRound()
{
    roundDue_ = false;
    roundRunning_ = false;
    roundReads_.clear();
    lastTurnWasPoll_ = false;
}

void Transceiver::dropQueued()
{
    std::deque<Pending> dropped = std::move(windowQueue_);
    windowQueue_.clear();
    for (Client& client : clients_) {
        for (auto& pending : client.requests)
            dropped.push_back(std::move(pending));
        client.requests.clear();
    }
    for (auto& pending : dropped)
        if (pending.done)
            pending.done(radio::Outcome::NotSent);
}
