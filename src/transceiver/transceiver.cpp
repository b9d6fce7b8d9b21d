#include "transceiver.h"

#include "device_presence.h"

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
    transmitLimit_.setSingleShot(true);
    connect(&transmitLimit_, &QTimer::timeout, this, &Transceiver::onTransmitLimit);
    // Reads the window holds back never reach the line, and a wait in
    // progress ends at once; with clients connected nothing is held.
    link_.SetWaitBreaker([this] { return ReadsHeld(); });
    connect(&link_, &RadioLink::idle, this, &Transceiver::schedule);
    connect(&link_, &RadioLink::portLost, this, [this] {
        // The readings no longer describe a radio we can reach.
        forgetReadings();
        resetRound();
        dropQueued();
        releaseReadingWaiters(); // waiting clients hear that there is nothing to read
        if (turn_.keyed) {
            // Nothing can reach the radio now: it may still be on the air.
            transmitLimit_.stop();
            turn_.keyed = false;
            turn_.holder = -1;
            emit transmitChanged(false);
            emit transmitNotice(QStringLiteral("The radio's port was lost while it was transmitting: it may still "
                                               "be transmitting. Switch it to receive at the radio. Solvane sends "
                                               "receive as soon as the port is back."));
        }
        if (shuttingDown_) {
            finishShutdown();
            return;
        }
        // A replugged adapter comes back at the same path: watch for it.
        watchFor(link_.Device(), !DevicePresent(link_.Device()));
        emit portLost();
    });
}

// --- Port -------------------------------------------------------------------------

bool Transceiver::OpenPort(int portNumber, const QString& settingsText, bool watchIfMissing)
{
    watchTimer_.stop();
    if (turn_.keyed && link_.PortOpen()) {
        // The transmitter keyed through this port is unkeyed there before it closes.
        link_.SendBeforeClosing(cat::MakeCommand(cat::PttOff));
        transmitLimit_.stop();
        turn_.keyed = false;
        turn_.holder = -1;
        emit transmitChanged(false);
    }
    // Another port may be another radio, assumed out of satellite mode; the
    // same one reopened kept its mode.
    const bool anotherPort = portNumber != portNumber_;
    portNumber_ = portNumber;
    settingsText_ = settingsText;
    forgetReadings();
    resetRound();
    // Closed first: a sender told of its dropped command may queue another,
    // which must not reach the radio being left.
    link_.ClosePort();
    dropQueued();
    if (turn_.satellite && anotherPort) {
        turn_.satellite = false;
        emit satelliteChanged(false);
    }
    const bool open = link_.OpenPort(portNumber, settingsText);
    freshPort_ = open;
    // A device that is not there is waited for; one that is there but
    // refuses (busy, not permitted, settings) is left to the user, unless
    // this is a service with nobody to choose another port.
    const QString device = link_.Device();
    if (!open && watchIfMissing && !device.isEmpty() && (retryRefused_ || !DevicePresent(device)))
        watchFor(device, true);
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
    if (!DevicePresent(watchedDevice_)) {
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
    forgetReadings();
    freshPort_ = true;
    messages_.dismissPortNotAvailable(); // the loss it told of is over
    TakeControl();
    emit portReopened();
}

void Transceiver::TakeControl()
{
    Submit({radio::Request::Kind::CatOn});
    if (!freshPort_ || !link_.PortOpen())
        return;
    // A radio left keyed by a program that crashed, or keyed when the port
    // was lost, stops transmitting.
    freshPort_ = false;
    Submit({radio::Request::Kind::Receive});
}

void Transceiver::ShutDown(std::function<void(bool released)> done)
{
    if (shuttingDown_)
        return;
    shuttingDown_ = true;
    shutdownDone_ = std::move(done);
    watchTimer_.stop();
    updateTimer();
    resetRound();
    const bool wasKeyed = turn_.keyed;
    if (wasKeyed) {
        transmitLimit_.stop();
        turn_.keyed = false;
        turn_.holder = -1;
        emit transmitChanged(false);
    }
    // The clients stop sending; what they have queued will not go out now,
    // and their senders hear so before they go.
    emit shutdownStarted();
    urgent_.clear();
    dropQueued();
    releaseReadingWaiters();
    if (!link_.PortOpen()) {
        finishShutdown();
        return;
    }
    link_.AbandonQueued();
    if (wasKeyed) {
        // Receive first, right after what is on the line: a broken wait
        // would make it wait out the settle.
        link_.SendCommand(RadioLink::Make(cat::MakeCommand(cat::PttOff)));
    } else {
        link_.BreakWait();
    }
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

// --- The window's requests --------------------------------------------------------------

bool Transceiver::SetFrequency(cat::Frequency10Hz frequency)
{
    if (!cat::InTuningRange(frequency))
        return false;
    Submit({radio::Request::Kind::SetFrequency, radio::Vfo::Current, frequency});
    return true;
}

bool Transceiver::SetFrequencyKhz(std::int64_t kilohertz)
{
    const auto value = cat::KilohertzTo10Hz(kilohertz);
    return value && SetFrequency(*value);
}

void Transceiver::SetMode(std::uint8_t modeCode)
{
    Submit({radio::Request::Kind::SetMode, radio::Vfo::Current, modeCode});
}

void Transceiver::SetSatellite(bool on) { Submit({radio::Request::Kind::Satellite, radio::Vfo::Current, on ? 1 : 0}); }

void Transceiver::Submit(const radio::Request& request, Done done, ClientId from)
{
    queue({request, std::move(done)}, from);
}
