#include "radio_link.h"

#include <QMetaMethod>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

int CeilMs(qint64 us) { return int((us + 999) / 1000); }

// The longest reply the radio gives.
constexpr int kReplyCapacity = 16;

} // namespace

RadioLink::RadioLink(SerialPort& port, UserMessages& messages, DeviceResolver resolveDevice,
                     QObject* parent)
    : QObject(parent)
    , port_(port)
    , messages_(messages)
    , resolveDevice_(std::move(resolveDevice))
    , command_(5, '\0')
{
    reply_.reserve(kReplyCapacity);
    replyBytes_.reserve(kReplyCapacity);
    // Precise: the reply's end is a few ms off, and a late answer must fall
    // inside the settle after a time-out, which coarse timers would shorten
    // by up to 5 % each.
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &RadioLink::onDeadline);
    lineTimer_.setSingleShot(true);
    lineTimer_.setTimerType(Qt::PreciseTimer); // about 10 ms: coarse timers would be off by half
    connect(&lineTimer_, &QTimer::timeout, this, &RadioLink::checkSent);
    gapTimer_.setSingleShot(true);
    gapTimer_.setTimerType(Qt::PreciseTimer); // a few ms: coarse timers would double it
    connect(&gapTimer_, &QTimer::timeout, this, &RadioLink::onGapOver);
    settleTimer_.setSingleShot(true);
    settleTimer_.setTimerType(Qt::PreciseTimer);
    connect(&settleTimer_, &QTimer::timeout, this, &RadioLink::endSettling);
    drainTimer_.setSingleShot(true);
    drainTimer_.setTimerType(Qt::PreciseTimer);
    connect(&drainTimer_, &QTimer::timeout, this, &RadioLink::checkOnWire);
    idleWatch_.setSingleShot(true);
    idleWatch_.setInterval(IdleWatchDelay);
    connect(&idleWatch_, &QTimer::timeout, this, &RadioLink::onIdleWatch);
    lineClock_.start();
    connect(&port_, &SerialPort::bytesWritten, this, &RadioLink::checkSent);
    connect(&port_, &SerialPort::readyRead, this, &RadioLink::checkReply);
    connect(&port_, &SerialPort::failed, this, &RadioLink::onPortFailed);
}

// --- Port -------------------------------------------------------------------

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
    onTimeRun_ = 0; // a new line proves itself afresh
    port_.setInputWatched(true); // idle: a device that hangs up is noticed at once
    return true;
}

bool RadioLink::PortOpen() const { return port_.isOpen(); }

void RadioLink::ClosePort() { dropAll(true); }

// --- Exchanges --------------------------------------------------------------

RadioLink::Exchange RadioLink::ExchangeOf(Command command)
{
    Exchange exchange;
    exchange.command = command.bytes;
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
    // A reply overdue with no byte in is not waited for. Should it come
    // late, the settle after the urgent command keeps it from the next
    // reply. One still due goes first: the urgent command would meet it on
    // the line.
    if (state_ == LineState::Waiting && !replyDue_) {
        port_.fetchInput();
        if (state_ == LineState::Waiting && port_.bytesAvailable() == 0) {
            cutWait();
            return;
        }
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

void RadioLink::AbandonQueued()
{
    std::vector<Exchange> dropped;
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
        queue_.erase(queue_.begin());
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
    if (Busy())
        return;
    emit idle();
    if (!Busy() && port_.isOpen())
        idleWatch_.start();
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
    commandBuffer_ = current_.command;
    std::memcpy(command_.data(), commandBuffer_.data(), commandBuffer_.size());
    idleWatch_.stop();
    // The line is quiet (the gap or the settle saw to it); bytes taken in
    // since are old and must not be read as the start of this reply.
    if (port_.bytesAvailable() > 0)
        port_.discardInput();
    if (current_.replyCount > 0) {
        readOnce_ = mayReadOnce();
        port_.setInputWatched(!readOnce_);
    }
    state_ = LineState::Sending;
    // The line was free: the bits take this long to leave from now on.
    lineTimeUs_ = LineTimeUs(command_.size(), lineSettings_);
    driverQueued_ = -1;
    sendClock_.start();
    lastWriteUs_ = nowUs();
    lastWriteBytes_ = int(command_.size());
    port_.write(command_);
    if (state_ != LineState::Sending)
        return; // the port failed as it was written
    if (port_.bytesToWrite() == 0) {
        checkSent(); // the driver took it at once
        return;
    }
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
        finishExchange(0, false, 0);
        return;
    }
    beginWaiting(0);
}

void RadioLink::finishExchange(int replyCount, bool settleAfter, int settleQuietMs)
{
    // The reply is read before the settle drops what the port holds. The
    // handlers get the link's own buffer; a read they start meanwhile gets
    // one of its own.
    QByteArray reply = std::move(reply_);
    reply_ = QByteArray();
    reply.resize(std::clamp<qint64>(port_.bytesAvailable(), 0, std::min(replyCount, kReplyCapacity)));
    if (!reply.isEmpty())
        reply.resize(qsizetype(port_.readInto(reply.data(), reply.size())));
    // The link's own state is settled before any handler runs, so a handler
    // that sends at once queues behind the settle and reads no stale bytes.
    deadline_.stop();
    lineTimer_.stop();
    gapTimer_.stop();
    replyDue_ = false;
    Exchange done = std::move(current_);
    current_ = {};
    state_ = LineState::Idle;
    if (std::exchange(owedSettle_, false) && !settleAfter) {
        settleAfter = true;
        settleQuietMs = SettleQuiet;
    }
    if (settleAfter && port_.isOpen())
        startSettling(settleQuietMs);
    if (port_.isOpen() && !reply.isEmpty()) {
        replyBytes_.resize(reply.size());
        std::memcpy(replyBytes_.data(), reply.constData(), size_t(reply.size()));
    }

    if (done.sent)
        done.sent(false); // never left: a stuck write
    if (done.handler)
        done.handler(reply);
    static const QMetaMethod finished = QMetaMethod::fromSignal(&RadioLink::exchangeFinished);
    if (isSignalConnected(finished))
        emit exchangeFinished(QByteArray(reinterpret_cast<const char*>(done.command.data()), 5), reply);
    if (reply_.isNull())
        reply_ = std::move(reply);
    pump();
    checkOnWire();
}

void RadioLink::dropAll(bool closePort)
{
    deadline_.stop();
    lineTimer_.stop();
    gapTimer_.stop();
    settleTimer_.stop();
    drainTimer_.stop();
    idleWatch_.stop();
    replyDue_ = false;
    lateUntilUs_ = 0;
    closeWhenOnWire_ = nullptr;
    owedSettle_ = false;
    Exchange current = std::move(current_);
    const bool wasOnLine = state_ == LineState::Waiting || state_ == LineState::Gap;
    const bool wasSending = state_ == LineState::Sending;
    current_ = {};
    state_ = LineState::Idle;
    std::vector<Exchange> dropped;
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
