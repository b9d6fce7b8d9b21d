#include "radio_link.h"

#include <algorithm>
#include <utility>

RadioLink::RadioLink(SerialPort& port, UserMessages& messages, DeviceResolver resolveDevice,
                     QObject* parent)
    : QObject(parent)
    , port_(port)
    , messages_(messages)
    , resolveDevice_(std::move(resolveDevice))
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &RadioLink::onDeadline);
    lineTimer_.setSingleShot(true);
    lineTimer_.setTimerType(Qt::PreciseTimer); // about 10 ms: coarse timers would be off by half
    connect(&lineTimer_, &QTimer::timeout, this, &RadioLink::checkSent);
    gapTimer_.setSingleShot(true);
    gapTimer_.setTimerType(Qt::PreciseTimer); // a few ms: coarse timers would double it
    connect(&gapTimer_, &QTimer::timeout, this, &RadioLink::onGapOver);
    settleTimer_.setSingleShot(true);
    connect(&settleTimer_, &QTimer::timeout, this, &RadioLink::endSettling);
    drainTimer_.setSingleShot(true);
    drainTimer_.setTimerType(Qt::PreciseTimer);
    connect(&drainTimer_, &QTimer::timeout, this, &RadioLink::checkOnWire);
    lineClock_.start();
    connect(&port_, &SerialPort::bytesWritten, this, &RadioLink::checkSent);
    connect(&port_, &SerialPort::readyRead, this, &RadioLink::checkReply);
    connect(&port_, &SerialPort::failed, this, &RadioLink::onPortFailed);
}

// --- Port -------------------------------------------------------------------

namespace {

int CeilMs(qint64 us) { return int((us + 999) / 1000); }

} // namespace

RadioLink::Command RadioLink::Make(const cat::CommandBytes& bytes, ReplyHandler onReply, SentHandler onSent)
{
    return Command{bytes, std::max(0, cat::ReplyLength(bytes[4])), std::move(onReply), std::move(onSent)};
}

bool RadioLink::OpenPort(int portNumber, const QString& settingsText, bool quiet)
{
    ClosePort();
    const std::optional<LineSettings> settings = ParseLineSettings(settingsText);
    device_ = resolveDevice_ ? resolveDevice_(portNumber) : QString();
    if (!settings || device_.isEmpty() || !port_.open(device_, *settings)) {
        if (quiet)
            return false;
        QString details = device_.isEmpty() ? QStringLiteral("Port %1 names no device.").arg(portNumber)
                                            : QStringLiteral("Port %1 is %2.").arg(portNumber).arg(device_);
        if (!settings)
            details += QStringLiteral(" The line settings \"%1\" are not usable.").arg(settingsText);
        if (!portNote_.isEmpty())
            details += QLatin1Char(' ') + portNote_;
        messages_.showPortNotAvailable(details);
        return false;
    }
    quietGapMs_ = ::QuietGapMs(settings->baudRate);
    lineSettings_ = *settings;
    return true;
}

bool RadioLink::PortOpen() const { return port_.isOpen(); }

void RadioLink::ClosePort() { dropAll(true); }

// --- Exchanges --------------------------------------------------------------

RadioLink::Exchange RadioLink::ExchangeOf(Command command)
{
    Exchange exchange;
    exchange.command = QByteArray(reinterpret_cast<const char*>(command.bytes.data()), 5);
    exchange.replyCount = std::max(0, command.replyLength);
    exchange.handler = std::move(command.onReply);
    exchange.sent = std::move(command.onSent);
    return exchange;
}

void RadioLink::SendCommand(Command command)
{
    if (!port_.isOpen()) {
        port_.discardInput();
        if (command.onSent)
            command.onSent(false);
        return;
    }
    queue_.push_back(ExchangeOf(std::move(command)));
    pump();
}

void RadioLink::SendUrgent(Command command)
{
    if (!port_.isOpen()) {
        if (command.onSent)
            command.onSent(false);
        return;
    }
    Exchange exchange = ExchangeOf(std::move(command));
    exchange.urgent = true;
    const auto firstPlain = std::find_if(queue_.begin(), queue_.end(), [](const Exchange& e) { return !e.urgent; });
    queue_.insert(firstPlain, std::move(exchange));
    // No byte of the reply yet: it is not waited for. Should it come late,
    // the settle after the urgent command keeps it from the next reply.
    if (state_ == LineState::Waiting && port_.bytesAvailable() == 0) {
        finishExchange(QByteArray(), true, SettleQuiet);
        return;
    }
    pump();
}

void RadioLink::Then(std::function<void()> step)
{
    Exchange exchange;
    exchange.step = std::move(step);
    queue_.push_back(std::move(exchange));
    pump();
}

bool RadioLink::Busy() const { return state_ != LineState::Idle || !queue_.empty(); }

void RadioLink::BreakWait()
{
    // A settle in progress is not cut short: the radio may still be talking.
    if (state_ == LineState::Waiting || state_ == LineState::Gap)
        finishExchange(port_.read(current_.replyCount), true, SettleQuiet);
}

void RadioLink::AbandonQueued()
{
    std::deque<Exchange> dropped;
    const auto firstPlain = std::find_if(queue_.begin(), queue_.end(), [](const Exchange& e) { return !e.urgent; });
    dropped.assign(std::make_move_iterator(firstPlain), std::make_move_iterator(queue_.end()));
    queue_.erase(firstPlain, queue_.end());
    for (auto& exchange : dropped)
        if (exchange.sent)
            exchange.sent(false);
}

void RadioLink::CloseWhenOnWire(std::function<void()> closed)
{
    closeWhenOnWire_ = std::move(closed);
    onWireAtUs_ = 0;
    drainClock_.start();
    checkOnWire();
}

void RadioLink::checkOnWire()
{
    if (!closeWhenOnWire_)
        return;
    drainTimer_.stop();
    // Commands still to go are given their time; each end of an exchange looks again.
    const bool commandsLeft = std::any_of(queue_.begin(), queue_.end(), [](const Exchange& e) { return !e.step; });
    if (state_ == LineState::Sending || commandsLeft)
        return;
    // The driver's queue, then one command's line time for an adapter's
    // own buffer, counted from the last byte leaving the driver.
    const qint64 queued = port_.bytesToWrite() + port_.driverBytesToWrite();
    const qint64 commandUs = LineTimeUs(5, lineSettings_);
    const qint64 now = nowUs();
    onWireAtUs_ = std::max({onWireAtUs_, lastWriteUs_ + LineTimeUs(lastWriteBytes_, lineSettings_) + commandUs,
                            now + (queued > 0 ? LineTimeUs(queued, lineSettings_) + commandUs : 0)});
    if (now < onWireAtUs_ && drainClock_.elapsed() < DrainLimit) {
        drainTimer_.start(std::max(1, CeilMs(queued > 0 ? LineTimeUs(queued, lineSettings_) : onWireAtUs_ - now)));
        return;
    }
    auto closed = std::move(closeWhenOnWire_);
    closeWhenOnWire_ = nullptr;
    ClosePort();
    closed();
}

void RadioLink::pump()
{
    // Steps and handlers may queue more work; a loop instead of recursion
    // keeps the stack flat however long the chain.
    if (pumping_)
        return;
    pumping_ = true;
    while (!queue_.empty() && (state_ == LineState::Idle || settleMayYield())) {
        if (state_ == LineState::Settling) {
            // The late answer the settle waits out is drained after the urgent command.
            settleTimer_.stop();
            state_ = LineState::Idle;
            owedSettle_ = true;
        }
        Exchange next = std::move(queue_.front());
        queue_.pop_front();
        if (next.step) {
            next.step();
            continue;
        }
        if (next.replyCount > 0 && waitBreaker_ && waitBreaker_()) {
            // A read nobody waits for any more: it never reaches the line.
            if (next.handler)
                next.handler(QByteArray());
            continue;
        }
        startExchange(std::move(next));
    }
    pumping_ = false;
    if (!Busy())
        emit idle();
}

bool RadioLink::settleMayYield() const
{
    // Never ahead of bytes of our own still leaving (a stuck send's).
    return state_ == LineState::Settling && queue_.front().urgent && port_.bytesToWrite() == 0
        && port_.driverBytesToWrite() == 0;
}

void RadioLink::startExchange(Exchange exchange)
{
    if (!port_.isOpen()) {
        // The port went away after this was queued: nothing goes out.
        if (exchange.sent)
            exchange.sent(false);
        return;
    }
    current_ = std::move(exchange);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(current_.command.constData()), 5, commandBuffer_.begin());
    // The line is quiet (the gap or the settle saw to it); anything left in
    // the buffer is old and must not be read as the start of this reply.
    port_.discardInput();
    state_ = LineState::Sending;
    // The line was free: the bits take this long to leave from now on.
    lineTimeUs_ = LineTimeUs(current_.command.size(), lineSettings_);
    driverQueued_ = -1;
    sendClock_.start();
    lastWriteUs_ = nowUs();
    lastWriteBytes_ = int(current_.command.size());
    port_.write(current_.command);
    deadline_.start(SendTimeout + CeilMs(lineTimeUs_));
    if (!awaitsReplyOnly())
        lineTimer_.start(CeilMs(lineTimeUs_));
}

bool RadioLink::awaitsReplyOnly() const
{
    // A read nobody waits on as "sent": its reply can only follow the whole
    // command, so the reply wait may begin as soon as the port took it.
    return current_.replyCount > 0 && !current_.sent;
}

void RadioLink::checkSent()
{
    if (state_ != LineState::Sending || port_.bytesToWrite() > 0)
        return;
    // The kernel taking the bytes is not the line carrying them. Until the
    // bits have had time to leave, the command could still be behind an
    // earlier one and nobody may be told it went out.
    const qint64 leftUs = lineTimeUs_ - sendClock_.nsecsElapsed() / 1000;
    if (awaitsReplyOnly()) {
        beginWaiting(std::max<qint64>(leftUs, 0));
        return;
    }
    if (leftUs > 0) {
        lineTimer_.start(CeilMs(leftUs));
        return;
    }
    // A native UART reports what its driver still holds; wait that out too,
    // for as long as it keeps going down.
    if (const qint64 queued = port_.driverBytesToWrite(); queued > 0) {
        const int drainMs = CeilMs(LineTimeUs(queued, lineSettings_));
        if (driverQueued_ < 0 || queued < driverQueued_)
            deadline_.start(SendTimeout + drainMs);
        driverQueued_ = queued;
        lineTimer_.start(drainMs);
        return;
    }
    if (current_.sent) {
        auto sent = std::move(current_.sent);
        current_.sent = nullptr;
        sent(true);
        if (state_ != LineState::Sending)
            return; // the handler closed or reopened the port
    }
    if (current_.replyCount == 0) {
        finishExchange(QByteArray(), false, 0);
        return;
    }
    beginWaiting(0);
}

void RadioLink::beginWaiting(qint64 stillSendingUs)
{
    state_ = LineState::Waiting;
    deadline_.start(ReplyTimeout + CeilMs(stillSendingUs));
    if (waitBreaker_ && waitBreaker_()) {
        finishExchange(port_.read(current_.replyCount), true, SettleQuiet);
        return;
    }
    checkReply();
}

void RadioLink::checkReply()
{
    switch (state_) {
    case LineState::Settling:
        port_.discardInput();
        if (settleClock_.elapsed() < SettleLimit)
            settleTimer_.start(settleQuietMs_);
        return;
    case LineState::Waiting:
        if (port_.bytesAvailable() > current_.replyCount) {
            // More than the reply can hold: a stray, duplicated or garbage
            // byte is in it somewhere, and the radio may still be talking.
            finishExchange(QByteArray(), true, quietGapMs_);
        } else if (port_.bytesAvailable() == current_.replyCount) {
            deadline_.stop();
            state_ = LineState::Gap;
            gapTimer_.start(quietGapMs_);
        }
        return;
    case LineState::Gap:
        if (port_.bytesAvailable() > current_.replyCount)
            finishExchange(QByteArray(), true, quietGapMs_);
        return;
    case LineState::Idle:
    case LineState::Sending:
        return;
    }
}

void RadioLink::onGapOver()
{
    if (state_ != LineState::Gap)
        return;
    // A byte may have landed in the buffer without its readyRead yet.
    if (port_.bytesAvailable() > current_.replyCount) {
        finishExchange(QByteArray(), true, quietGapMs_);
        return;
    }
    finishExchange(port_.read(current_.replyCount), false, 0);
}

void RadioLink::onDeadline()
{
    if (state_ == LineState::Waiting)
        finishExchange(port_.read(current_.replyCount), true, SettleQuiet);
    else if (state_ == LineState::Sending)
        // The line is stuck: this command is given up, but its bytes may
        // still leave; the next one waits until they have.
        finishExchange(QByteArray(), true, SettleQuiet);
}

void RadioLink::finishExchange(QByteArray reply, bool settleAfter, int settleQuietMs)
{
    // The link's own state is settled before any handler runs, so a handler
    // that sends at once queues behind the settle and reads no stale bytes.
    deadline_.stop();
    lineTimer_.stop();
    gapTimer_.stop();
    Exchange done = std::move(current_);
    current_ = {};
    state_ = LineState::Idle;
    if (std::exchange(owedSettle_, false) && !settleAfter) {
        settleAfter = true;
        settleQuietMs = SettleQuiet;
    }
    if (settleAfter && port_.isOpen())
        startSettling(settleQuietMs);
    if (port_.isOpen() && !reply.isEmpty())
        replyBytes_ = reply;

    if (done.sent)
        done.sent(false); // never left: a stuck write
    if (done.handler)
        done.handler(reply);
    emit exchangeFinished(done.command, reply);
    pump();
    checkOnWire();
}

void RadioLink::startSettling(int quietMs)
{
    port_.discardInput();
    state_ = LineState::Settling;
    settleQuietMs_ = quietMs;
    settleClock_.start();
    settleTimer_.start(quietMs);
}

void RadioLink::endSettling()
{
    if (state_ != LineState::Settling)
        return;
    if ((port_.bytesToWrite() > 0 || port_.driverBytesToWrite() > 0) && settleClock_.elapsed() < SettleLimit) {
        settleTimer_.start(settleQuietMs_);
        return;
    }
    settleTimer_.stop();
    port_.discardInput();
    state_ = LineState::Idle;
    pump();
}

void RadioLink::dropAll(bool closePort)
{
    deadline_.stop();
    lineTimer_.stop();
    gapTimer_.stop();
    settleTimer_.stop();
    drainTimer_.stop();
    closeWhenOnWire_ = nullptr;
    owedSettle_ = false;
    Exchange current = std::move(current_);
    const bool wasOnLine = state_ == LineState::Waiting || state_ == LineState::Gap;
    const bool wasSending = state_ == LineState::Sending;
    current_ = {};
    state_ = LineState::Idle;
    std::deque<Exchange> dropped;
    dropped.swap(queue_);
    if (closePort)
        port_.close();

    // Only now, with the link closed and empty, are the owners told.
    if (wasSending && current.sent)
        current.sent(false);
    if ((wasOnLine || wasSending) && current.handler)
        current.handler(QByteArray());
    for (auto& exchange : dropped)
        if (exchange.sent)
            exchange.sent(false);
}

void RadioLink::onPortFailed()
{
    // The port has closed itself. Stop everything queued for the lost radio,
    // then tell the user once.
    dropAll(false);
    messages_.showPortNotAvailable(QStringLiteral("%1 stopped answering or was removed.").arg(device_));
    emit portLost();
}
