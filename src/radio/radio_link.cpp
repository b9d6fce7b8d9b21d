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
    settleTimer_.setSingleShot(true);
    connect(&settleTimer_, &QTimer::timeout, this, &RadioLink::endSettling);
    connect(&port_, &SerialPort::bytesWritten, this, &RadioLink::checkSent);
    connect(&port_, &SerialPort::readyRead, this, &RadioLink::checkReply);
    connect(&port_, &SerialPort::failed, this, &RadioLink::onPortFailed);
}

// --- Port -------------------------------------------------------------------

void RadioLink::OpenPort(int portNumber, const QString& settingsText)
{
    ClosePort();
    const std::optional<LineSettings> settings = ParseLineSettings(settingsText);
    const QString device = resolveDevice_ ? resolveDevice_(portNumber) : QString();
    if (!settings || device.isEmpty() || !port_.open(device, *settings)) {
        messages_.showPortNotAvailable();
        return;
    }
}

bool RadioLink::PortOpen() const { return port_.isOpen(); }

void RadioLink::ClosePort()
{
    // Whatever was queued was meant for the radio on this port.
    AbandonQueued();
    abortLine();
    port_.close();
}

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

void RadioLink::ReadReply(int count, ReplyHandler handler)
{
    if (lastSentId_ == 0 || count < 0)
        return;
    Exchange* target = nullptr;
    if (state_ != LineState::Idle && current_.id == lastSentId_)
        target = &current_;
    for (auto& queued : queue_)
        if (queued.id == lastSentId_)
            target = &queued;
    if (!target)
        return;
    target->replyCount = count;
    target->handler = std::move(handler);
    lastSentId_ = 0;
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
    if (state_ == LineState::Waiting)
        finishExchange(true);
    else if (state_ == LineState::Settling)
        endSettling();
}

void RadioLink::AbandonQueued()
{
    queue_.clear();
    lastSentId_ = 0;
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
        startExchange(std::move(next));
    }
    pumping_ = false;
    if (!Busy())
        emit idle();
}

void RadioLink::startExchange(Exchange exchange)
{
    current_ = std::move(exchange);
    if (!port_.isOpen()) {
        // The port went away after this was queued: nothing goes out.
        current_ = {};
        return;
    }
    // A late or surplus byte of the previous answer must not be read as the
    // start of this one.
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
    if (current_.replyCount == 0) {
        finishExchange(false);
        return;
    }
    beginWaiting();
}

void RadioLink::beginWaiting()
{
    state_ = LineState::Waiting;
    deadline_.start(ReplyTimeout);
    if (waitBreaker_ && waitBreaker_()) {
        finishExchange(true);
        return;
    }
    checkReply();
}

void RadioLink::checkReply()
{
    if (state_ == LineState::Settling) {
        port_.discardInput();
        if (settleClock_.elapsed() < SettleLimit)
            settleTimer_.start(SettleQuiet);
        return;
    }
    // At least, not exactly: a stray extra byte must not turn into a hang.
    // The surplus is dropped by the next exchange's discard.
    if (state_ == LineState::Waiting && port_.bytesAvailable() >= current_.replyCount)
        finishExchange(true);
}

void RadioLink::onDeadline()
{
    if (state_ == LineState::Waiting)
        finishExchange(true, port_.bytesAvailable() < current_.replyCount);
    else if (state_ == LineState::Sending)
        finishExchange(false); // the line is stuck: give up on this command
}

void RadioLink::finishExchange(bool readReply, bool settleAfter)
{
    deadline_.stop();
    Exchange done = std::move(current_);
    current_ = {};
    state_ = LineState::Idle;

    QByteArray reply;
    if (readReply && port_.isOpen()) {
        reply = port_.read(done.replyCount);
        replyBytes_ = reply;
    }
    if (done.handler)
        done.handler(reply);
    emit exchangeFinished(done.command, reply);
    if (settleAfter && state_ == LineState::Idle && port_.isOpen()) {
        state_ = LineState::Settling;
        settleClock_.start();
        settleTimer_.start(SettleQuiet);
        return;
    }
    pump();
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

void RadioLink::abortLine()
{
    if (state_ == LineState::Settling) {
        settleTimer_.stop();
        state_ = LineState::Idle;
    } else if (state_ != LineState::Idle) {
        finishExchange(false);
    }
}

void RadioLink::onPortFailed()
{
    // The port has closed itself. Tell the user once and stop everything
    // queued for the lost radio.
    AbandonQueued();
    abortLine();
    messages_.showPortNotAvailable();
    emit portLost();
}
