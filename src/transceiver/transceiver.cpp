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
    connect(&link_, &RadioLink::portLost, this, [this] {
        // The reading no longer describes a radio we can reach.
        haveFrequency_ = false;
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
    link_.ClosePort();
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
    watchTimer_.stop();
    if (!link_.OpenPort(portNumber_, settingsText_)) {
        // Back but not yet usable (permissions still being set): try again.
        watchTimer_.start();
        return;
    }
    haveFrequency_ = false;
    messages_.dismissPortNotAvailable(); // the loss it told of is over
    TakeControl();
    emit portReopened();
}

void Transceiver::TakeControl()
{
    link_.ClearParameters();
    send(cat::CatOn);
}

void Transceiver::ReleaseControl()
{
    link_.ClearParameters();
    send(cat::CatOff);
}

void Transceiver::ReleaseAndThen(std::function<void()> then)
{
    // Whatever the poll still had queued is of no use now.
    link_.AbandonQueued();
    link_.BreakWait();
    ReleaseControl();
    link_.Then(std::move(then));
}

void Transceiver::send(std::uint8_t opcode)
{
    ++serial_;
    if (opcode == cat::SetFrequency || opcode == cat::SetMode)
        lastSetSerial_ = serial_;
    link_.SendCommand(opcode);
}

// --- Poll ---------------------------------------------------------------------------

bool Transceiver::PollRound(bool readRadio)
{
    // One round at a time: a tick that finds the line busy starts nothing.
    if (link_.Busy())
        return false;
    if (!readRadio || !link_.PortOpen()) {
        emit roundFinished();
        return true;
    }
    ReadFrequencyAndMode();
    ReadSMeter();
    link_.Then([this] {
        if (link_.PortOpen())
            ApplyPendingTuning();
        emit roundFinished();
    });
    return true;
}

void Transceiver::ReadFrequencyAndMode()
{
    link_.ClearParameters();
    send(cat::ReadFrequencyMode);
    const quint64 serial = serial_;
    link_.ReadReply(cat::ReplyLength(cat::ReadFrequencyMode), [this, serial](const QByteArray& reply) {
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
    });
}

void Transceiver::ReadSMeter()
{
    link_.ClearParameters();
    send(cat::ReadRxStatus);
    link_.ReadReply(cat::ReplyLength(cat::ReadRxStatus), [this](const QByteArray& reply) {
        if (reply.size() != 1)
            return;
        sMeterLevel_ = ::SMeterLevel(static_cast<std::uint8_t>(reply[0]));
        emit sMeterRead(sMeterLevel_);
    });
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

bool Transceiver::SetFrequency(cat::Frequency10Hz frequency, RadioLink::SentHandler sent)
{
    link_.EncodeFrequency(frequency);
    if (link_.OutOfRange())
        return false;
    send(cat::SetFrequency);
    if (link_.PortOpen()) {
        setFrequency_ = frequency;
        setFrequencySerial_ = serial_;
    }
    if (sent)
        link_.WhenSent(std::move(sent));
    return true;
}

bool Transceiver::SetFrequencyKhz(std::int64_t kilohertz)
{
    const auto value = cat::KilohertzTo10Hz(kilohertz);
    return value && SetFrequency(*value);
}

void Transceiver::SetMode(std::uint8_t modeCode, RadioLink::SentHandler sent)
{
    link_.ClearParameters();
    link_.SetParameter(0, modeCode);
    send(cat::SetMode);
    if (link_.PortOpen()) {
        setModeCode_ = modeCode;
        setModeSerial_ = serial_;
    }
    if (sent)
        link_.WhenSent(std::move(sent));
}
