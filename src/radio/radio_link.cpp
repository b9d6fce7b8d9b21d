#include "radio_link.h"

RadioLink::RadioLink(SerialPort& port, UserMessages& messages, DeviceResolver resolveDevice,
                     QObject* parent)
    : QObject(parent)
    , port_(port)
    , messages_(messages)
    , resolveDevice_(std::move(resolveDevice))
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &RadioLink::onDeadline);
    gapTimer_.setSingleShot(true);
    gapTimer_.setTimerType(Qt::PreciseTimer); // a few ms: coarse timers would double it
    connect(&gapTimer_, &QTimer::timeout, this, &RadioLink::onGapOver);
    settleTimer_.setSingleShot(true);
    connect(&settleTimer_, &QTimer::timeout, this, &RadioLink::endSettling);
    connect(&port_, &SerialPort::bytesWritten, this, &RadioLink::checkSent);
    connect(&port_, &SerialPort::readyRead, this, &RadioLink::checkReply);
    connect(&port_, &SerialPort::failed, this, &RadioLink::onPortFailed);
}

// --- Port -------------------------------------------------------------------

bool RadioLink::OpenPort(int portNumber, const QString& settingsText)
{
    ClosePort();
    const std::optional<LineSettings> settings = ParseLineSettings(settingsText);
    device_ = resolveDevice_ ? resolveDevice_(portNumber) : QString();
    if (!settings || device_.isEmpty() || !port_.open(device_, *settings)) {
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
    return true;
}

bool RadioLink::PortOpen() const { return port_.isOpen(); }

void RadioLink::ClosePort() { dropAll(true); }

// --- Command buffer ---------------------------------------------------------

void RadioLink::ClearParameters()
{
    for (int i = 0; i < 4; ++i)
        commandBuffer_[i] = 0;
}

void RadioLink::SetParameter(int index, std::uint8_t value)
{
    if (index >= 0 && index < 4)
        commandBuffer_[index] = value;
}

void RadioLink::EncodeFrequency(cat::Frequency10Hz value)
{
    const auto packed = cat::PackFrequency(value);
    outOfRange_ = !packed;
    if (!packed)
        return;
    digitBuffer_ = cat::FrequencyDigitsOf(value);
    for (int k = 0; k < 4; ++k)
        commandBuffer_[k] = (*packed)[k];
}

void RadioLink::EncodeFrequencyKhz(std::int64_t kilohertz)
{
    const auto value = cat::KilohertzTo10Hz(kilohertz);
    if (!value) {
        outOfRange_ = true; // the product would not fit 32 bits
        return;
    }
    EncodeFrequency(*value);
}

// --- Exchanges --------------------------------------------------------------

void RadioLink::SendCommand(std::uint8_t opcode)
{
    lastSentId_ = 0;
    if (!port_.isOpen()) {
        port_.discardInput();
        return;
    }
    commandBuffer_[4] = opcode;
    Exchange exchange;
    exchange.command = QByteArray(reinterpret_cast<const char*>(commandBuffer_.data()), 5);
    exchange.id = nextId_++;
    lastSentId_ = exchange.id;
    queue_.push_back(std::move(exchange));
    pump();
}

RadioLink::Exchange* RadioLink::lastQueued()
{
    if (lastSentId_ == 0)
        return nullptr;
    for (auto& queued : queue_)
        if (queued.id == lastSentId_)
            return &queued;
    // SendCommand found the line idle and put it out at once.
    if (state_ != LineState::Idle && current_.id == lastSentId_)
        return &current_;
    return nullptr;
}

void RadioLink::ReadReply(int count, ReplyHandler handler)
{
    Exchange* target = count >= 0 ? lastQueued() : nullptr;
    if (!target)
        return;
    target->replyCount = count;
    target->handler = std::move(handler);
}

void RadioLink::WhenSent(SentHandler handler)
{
    Exchange* target = lastQueued();
    if (!target) {
        if (handler)
            handler(false);
        return;
    }
    if (target == &current_ && state_ != LineState::Sending) {
        handler(true); // already on the wire
        return;
    }
    target->sent = std::move(handler);
}

void RadioLink::Then(std::function<void()> step)
{
    Exchange exchange;
    exchange.step = std::move(step);
    exchange.id = nextId_++;
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
    dropped.swap(queue_);
    lastSentId_ = 0;
    for (auto& exchange : dropped)
        if (exchange.sent)
            exchange.sent(false);
}

void RadioLink::pump()
{
    // Steps and handlers may queue more work; a loop instead of recursion
    // keeps the stack flat however long the chain.
    if (pumping_)
        return;
    pumping_ = true;
    while (state_ == LineState::Idle && !queue_.empty()) {
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

void RadioLink::startExchange(Exchange exchange)
{
    if (!port_.isOpen()) {
        // The port went away after this was queued: nothing goes out.
        if (exchange.sent)
            exchange.sent(false);
        return;
    }
    current_ = std::move(exchange);
    // The line is quiet (the gap or the settle saw to it); anything left in
    // the buffer is old and must not be read as the start of this reply.
    port_.discardInput();
    state_ = LineState::Sending;
    port_.write(current_.command);
    deadline_.start(SendTimeout);
    // Some ports finish the write at once and never signal it.
    QMetaObject::invokeMethod(this, &RadioLink::checkSent, Qt::QueuedConnection);
}

void RadioLink::checkSent()
{
    if (state_ != LineState::Sending || port_.bytesToWrite() > 0)
        return;
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
    beginWaiting();
}

void RadioLink::beginWaiting()
{
    state_ = LineState::Waiting;
    deadline_.start(ReplyTimeout);
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
        finishExchange(QByteArray(), false, 0); // the line is stuck: give up on this command
}

void RadioLink::finishExchange(QByteArray reply, bool settleAfter, int settleQuietMs)
{
    // The link's own state is settled before any handler runs, so a handler
    // that sends at once queues behind the settle and reads no stale bytes.
    deadline_.stop();
    gapTimer_.stop();
    Exchange done = std::move(current_);
    current_ = {};
    state_ = LineState::Idle;
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
    settleTimer_.stop();
    port_.discardInput();
    state_ = LineState::Idle;
    pump();
}

void RadioLink::dropAll(bool closePort)
{
    deadline_.stop();
    gapTimer_.stop();
    settleTimer_.stop();
    Exchange current = std::move(current_);
    const bool wasOnLine = state_ == LineState::Waiting || state_ == LineState::Gap;
    const bool wasSending = state_ == LineState::Sending;
    current_ = {};
    state_ = LineState::Idle;
    std::deque<Exchange> dropped;
    dropped.swap(queue_);
    lastSentId_ = 0;
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
