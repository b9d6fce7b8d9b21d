#include "transceiver.h"

#include "frequency_display.h"

#include <QFileInfo>

Transceiver::Transceiver(SerialPort& port, UserMessages& messages, RadioLink::DeviceResolver resolveDevice,
                         QObject* parent)
    : QObject(parent)
    , messages_(messages)
    , link_(port, messages, std::move(resolveDevice), this)
{
    watchTimer_.setInterval(WatchIntervalMs);
    connect(&watchTimer_, &QTimer::timeout, this, &Transceiver::onWatchTick);
    pollTimer_.setObjectName(QStringLiteral("Timer1"));
    pollTimer_.setInterval(PollIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &Transceiver::onPollTick);
    readingWaitTimer_.setSingleShot(true);
    connect(&readingWaitTimer_, &QTimer::timeout, this, &Transceiver::releaseReadingWaiters);
    shutdownGuard_.setSingleShot(true);
    connect(&shutdownGuard_, &QTimer::timeout, this, &Transceiver::finishShutdown);
    // Reads the window holds back never reach the line, and a wait in
    // progress ends at once; with clients connected nothing is held.
    link_.SetWaitBreaker([this] { return ReadsHeld(); });
    connect(&link_, &RadioLink::idle, this, &Transceiver::schedule);
    connect(&link_, &RadioLink::portLost, this, [this] {
        // The reading no longer describes a radio we can reach.
        haveFrequency_ = false;
        resetRound();
        dropQueued();
        releaseReadingWaiters(); // waiting clients hear that there is nothing to read
        if (shuttingDown_) {
            finishShutdown();
            return;
        }
        // A replugged adapter comes back at the same path: watch for it.
        watchFor(link_.Device(), !QFileInfo::exists(link_.Device()));
        emit portLost();
    });
}

// --- Port -------------------------------------------------------------------------

bool Transceiver::OpenPort(int portNumber, const QString& settingsText, bool watchIfMissing)
{
    watchTimer_.stop();
    portNumber_ = portNumber;
    settingsText_ = settingsText;
    haveFrequency_ = false;
    resetRound();
    // Closed first: a sender told of its dropped command may queue another,
    // which must not reach the radio being left.
    link_.ClosePort();
    dropQueued();
    const bool open = link_.OpenPort(portNumber, settingsText);
    // Only a device that is not there is waited for; one that is there but
    // refuses (busy, not permitted, settings) is left to the user.
    if (!open && watchIfMissing && !link_.Device().isEmpty() && !QFileInfo::exists(link_.Device()))
        watchFor(link_.Device(), true);
    return open;
}

void Transceiver::ClosePort()
{
    watchTimer_.stop();
    resetRound();
    link_.ClosePort();
    dropQueued();
}

void Transceiver::watchFor(const QString& device, bool seenMissing)
{
    if (device.isEmpty())
        return;
    watchedDevice_ = device;
    watchedSeenMissing_ = seenMissing;
    watchTimer_.start();
}

void Transceiver::onWatchTick()
{
    if (!QFileInfo::exists(watchedDevice_)) {
        watchedSeenMissing_ = true;
        return;
    }
    // Still the node that failed: not yet a new device.
    if (!watchedSeenMissing_)
        return;
    // Back but not yet usable (permissions still being set, held by another
    // program): try again quietly; the message already shown stays the one.
    if (!link_.OpenPort(portNumber_, settingsText_, true))
        return;
    watchTimer_.stop();
    haveFrequency_ = false;
    messages_.dismissPortNotAvailable(); // the loss it told of is over
    TakeControl();
    emit portReopened();
}

void Transceiver::TakeControl() { queue(RadioLink::Make(cat::MakeCommand(cat::CatOn)), kWindow); }

void Transceiver::ShutDown(std::function<void(bool released)> done)
{
    if (shuttingDown_)
        return;
    shuttingDown_ = true;
    shutdownDone_ = std::move(done);
    watchTimer_.stop();
    updateTimer();
    resetRound();
    // The clients stop sending; what they have queued will not go out now,
    // and their senders hear so before they go.
    emit shutdownStarted();
    dropQueued();
    releaseReadingWaiters();
    if (!link_.PortOpen()) {
        finishShutdown();
        return;
    }
    link_.AbandonQueued();
    link_.BreakWait();
    link_.SendCommand(RadioLink::Make(cat::MakeCommand(cat::CatOff)));
    link_.Then([this] { finishShutdown(); });
    // However the line ends (the port failing mid-write drops the step
    // above), the shutdown ends within this bound.
    shutdownGuard_.start(ShutdownLimitMs);
}

void Transceiver::finishShutdown()
{
    if (!shutdownDone_)
        return;
    shutdownGuard_.stop();
    const bool released = link_.PortOpen();
    link_.ClosePort();
    auto done = std::move(shutdownDone_);
    shutdownDone_ = nullptr;
    done(released);
}

// --- Reads --------------------------------------------------------------------------

void Transceiver::ReadFrequencyAndMode()
{
    // serial_ + 1 is the number dispatch gives this read.
    dispatch(RadioLink::Make(cat::MakeCommand(cat::ReadFrequencyMode), [this, serial = serial_ + 1](const QByteArray& reply) {
        const auto reading = DecodeFrequencyReply(reply);
        if (!reading)
            return; // short, long or garbled: the last reading stands
        const bool changed = !haveFrequency_ || reading->frequencyDigits != frequencyDigits_
                          || reading->modeCode != modeCode_;
        frequencyDigits_ = reading->frequencyDigits;
        currentFrequency_ = reading->frequency;
        modeCode_ = reading->modeCode;
        haveFrequency_ = true;
        readingSerial_ = serial;
        readingClock_.start();
        emit frequencyRead(changed);
    }));
}

void Transceiver::ReadSMeter()
{
    dispatch(RadioLink::Make(cat::MakeCommand(cat::ReadRxStatus), [this](const QByteArray& reply) {
        if (reply.size() != 1)
            return;
        sMeterLevel_ = ::SMeterLevel(static_cast<std::uint8_t>(reply[0]));
        emit sMeterRead(sMeterLevel_);
    }));
}

qint64 Transceiver::ReadingAgeMs() const
{
    return haveFrequency_ && readingClock_.isValid() ? readingClock_.elapsed() : -1;
}

cat::Frequency10Hz Transceiver::ReportedFrequency() const
{
    return setFrequencySerial_ > readingSerial_ ? setFrequency_ : currentFrequency_;
}

std::uint8_t Transceiver::ReportedModeCode() const
{
    return setModeSerial_ > readingSerial_ ? setModeCode_ : modeCode_;
}

// --- Tuning -------------------------------------------------------------------------

void Transceiver::SliderMouseDown(TuningSlider slider)
{
    // A reading older than the last command is no base for a drag: the
    // first reading after it becomes the base instead.
    tuning_.SliderMouseDown(slider, currentFrequency_, readingCurrent());
}

void Transceiver::SliderMoved(TuningSlider slider, int value)
{
    sliderValues_[static_cast<int>(slider)] = value;
    tuning_.SliderScroll(slider);
}

void Transceiver::SliderMouseUp(TuningSlider slider) { tuning_.SliderMouseUp(slider); }

void Transceiver::SliderKeyStep(TuningSlider slider, int units) { tuning_.SliderKeyStep(slider, units); }

void Transceiver::ApplyPendingTuning()
{
    // Requests measured from the reading wait until it was taken after the
    // last set went out; otherwise "7" then "+1 MHz" in one round would step
    // from the old band.
    tuning_.ApplyPendingTuning(currentFrequency_, readingCurrent(), sliderValues_,
                               [this](cat::Frequency10Hz target) { return SetFrequency(target); });
}

// --- Commands -------------------------------------------------------------------------

bool Transceiver::SetFrequency(cat::Frequency10Hz frequency, RadioLink::SentHandler sent, ClientId from)
{
    const auto command = cat::SetFrequencyCommand(frequency);
    if (!command)
        return false;
    queue(RadioLink::Make(*command, {}, std::move(sent)), from);
    return true;
}

bool Transceiver::SetFrequencyKhz(std::int64_t kilohertz)
{
    const auto value = cat::KilohertzTo10Hz(kilohertz);
    return value && SetFrequency(*value);
}

void Transceiver::SetMode(std::uint8_t modeCode, RadioLink::SentHandler sent, ClientId from)
{
    queue(RadioLink::Make(cat::MakeCommand(cat::SetMode, modeCode), {}, std::move(sent)), from);
}
