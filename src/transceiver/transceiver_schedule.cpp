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
    pollDue_ = true;
    schedule();
}

void Transceiver::HoldReads(bool held)
{
    readsHeld_ = held;
    // A read waiting on a silent radio would hold the Settings request up.
    if (ReadsHeld())
        link_.BreakWait();
}

void Transceiver::PausePolling(bool paused)
{
    paused_ = paused;
    if (!paused)
        pollTimer_.stop(); // the window's tick starts over, as a restarted timer does
    updateTimer();
}

void Transceiver::updateTimer()
{
    const bool run = polling_ && !shuttingDown_ && (!clients_.empty() || (!onDemand_ && !paused_));
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
    pollDue_ = true;
    schedule();
}

bool Transceiver::Busy() const
{
    if (link_.Busy() || !windowQueue_.empty())
        return true;
    return std::any_of(clients_.begin(), clients_.end(), [](const ClientQueue& c) { return !c.commands.empty(); });
}

// --- Clients ------------------------------------------------------------------------

Transceiver::ClientId Transceiver::OpenClient()
{
    const ClientId id = ++lastClientId_;
    clients_.push_back({id, {}});
    updateTimer();
    // A server that polls for its clients only: the first read is not kept waiting a tick.
    if (onDemand_ && clients_.size() == 1)
        PollNow();
    return id;
}

void Transceiver::CloseClient(ClientId client)
{
    const auto found = std::find_if(clients_.begin(), clients_.end(), [&](const ClientQueue& c) { return c.id == client; });
    if (found == clients_.end())
        return;
    std::deque<RadioLink::Command> dropped = std::move(found->commands);
    const std::size_t index = std::size_t(found - clients_.begin());
    clients_.erase(found);
    if (nextClient_ > index)
        --nextClient_;
    updateTimer();
    for (auto& command : dropped)
        if (command.onSent)
            command.onSent(false);
}

void Transceiver::AwaitReading(std::function<void()> ready)
{
    if (!link_.PortOpen()) {
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

void Transceiver::queue(RadioLink::Command command, ClientId from)
{
    if (!link_.PortOpen() || shuttingDown_) {
        if (command.onSent)
            command.onSent(false);
        return;
    }
    if (from == kWindow) {
        windowQueue_.push_back(std::move(command));
    } else {
        const auto found =
            std::find_if(clients_.begin(), clients_.end(), [&](const ClientQueue& c) { return c.id == from; });
        if (found == clients_.end()) {
            if (command.onSent)
                command.onSent(false);
            return;
        }
        found->commands.push_back(std::move(command));
    }
    schedule();
}

bool Transceiver::setsQueued() const
{
    const auto isSet = [](const RadioLink::Command& c) {
        return c.bytes[4] == cat::SetFrequency || c.bytes[4] == cat::SetMode;
    };
    if (std::any_of(windowQueue_.begin(), windowQueue_.end(), isSet))
        return true;
    return std::any_of(clients_.begin(), clients_.end(), [&](const ClientQueue& client) {
        return std::any_of(client.commands.begin(), client.commands.end(), isSet);
    });
}

void Transceiver::schedule()
{
    // One thing at a time on the line; the link says when it is free.
    if (link_.Busy() || roundRunning_ || shuttingDown_)
        return;
    if (pollDue_ && (!link_.PortOpen() || ReadsHeld())) {
        // Held since the tick that made it due: the round ends without reads.
        pollDue_ = false;
        emit roundFinished();
    }
    LineDemand demand;
    demand.pollDue = pollDue_;
    demand.windowWaiting = !windowQueue_.empty();
    demand.nextClient = nextClient_;
    for (const ClientQueue& client : clients_)
        demand.clientWaiting.push_back(!client.commands.empty());

    const LineTurn turn = NextTurn(demand);
    switch (turn.kind) {
    case LineTurn::Kind::Nothing:
        return;
    case LineTurn::Kind::Poll:
        startRound();
        return;
    case LineTurn::Kind::Window: {
        // What the person queued together goes out together.
        std::deque<RadioLink::Command> commands = std::move(windowQueue_);
        windowQueue_.clear();
        for (auto& command : commands)
            dispatch(std::move(command));
        return;
    }
    case LineTurn::Kind::Client: {
        ClientQueue& client = clients_[turn.client];
        RadioLink::Command command = std::move(client.commands.front());
        client.commands.pop_front();
        nextClient_ = (turn.client + 1) % clients_.size();
        dispatch(std::move(command));
        return;
    }
    }
}

void Transceiver::startRound()
{
    pollDue_ = false;
    roundRunning_ = true;
    ReadFrequencyAndMode();
    ReadSMeter();
    link_.Then([this] {
        roundRunning_ = false;
        if (link_.PortOpen())
            ApplyPendingTuning();
        emit roundFinished();
        releaseReadingWaiters();
    });
}

void Transceiver::dispatch(RadioLink::Command command)
{
    // Numbered as it goes to the link: from here on nothing reorders it.
    ++serial_;
    const std::uint8_t opcode = command.bytes[4];
    if (opcode == cat::SetFrequency || opcode == cat::SetMode)
        lastSetSerial_ = serial_;
    if (opcode == cat::SetFrequency) {
        const QByteArray digits(reinterpret_cast<const char*>(command.bytes.data()), 4);
        setFrequency_ = cat::FrequencyFromDigits(cat::FrequencyDigitsFromReply(digits));
        setFrequencySerial_ = serial_;
    } else if (opcode == cat::SetMode) {
        setModeCode_ = command.bytes[0];
        setModeSerial_ = serial_;
    }
    link_.SendCommand(std::move(command));
}

void Transceiver::resetRound()
{
    pollDue_ = false;
    roundRunning_ = false;
}

void Transceiver::dropQueued()
{
    std::deque<RadioLink::Command> dropped = std::move(windowQueue_);
    windowQueue_.clear();
    for (ClientQueue& client : clients_) {
        for (auto& command : client.commands)
            dropped.push_back(std::move(command));
        client.commands.clear();
    }
    for (auto& command : dropped)
        if (command.onSent)
            command.onSent(false);
}
