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
    closeGuard_.setSingleShot(true);
    connect(&closeGuard_, &QTimer::timeout, this, &Transceiver::finishClosing);
    // Reads the window holds back never reach the line, and a wait in
    // progress ends at once; with clients connected nothing is held.
    link_.SetWaitBreaker([this] { return ReadsHeld(); });
    // Any byte from the radio, even one no reply could use, means it is not silent.
    connect(&port, &SerialPort::readyRead, this, [this] { silence_.Heard(); });
    connect(&link_, &RadioLink::idle, this, &Transceiver::schedule);
    connect(&link_, &RadioLink::portLost, this, [this] {
        // The readings no longer describe a radio we can reach.
        forgetReadings();
        resetRound();
        dropQueued();
        releaseReadingWaiters(); // waiting clients hear that there is nothing to read
        // Nothing can reach the radio now: if it was keyed it may still be on the air.
        applyTx(radio::TxEvent::PortGone);
        if (closing_)
            finishClosing();
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

bool Transceiver::OpenPort(int portNumber, const QString& settingsText, bool watchIfMissing,
                           std::function<void(bool open)> opened)
{
    watchTimer_.stop();
    closePortThen([this, portNumber, settingsText, watchIfMissing, opened = std::move(opened)] {
        const bool open = openNow(portNumber, settingsText, watchIfMissing);
        if (opened)
            opened(open);
    });
    return !closing_ && link_.PortOpen();
}

bool Transceiver::openNow(int portNumber, const QString& settingsText, bool watchIfMissing)
{
    // Another port may be another radio, assumed out of satellite mode; the
    // same one reopened kept its mode.
    const bool anotherPort = portNumber != portNumber_;
    portNumber_ = portNumber;
    settingsText_ = settingsText;
    forgetReadings();
    if (turn_.satellite && anotherPort) {
        turn_.satellite = false;
        emit satelliteChanged(false);
    }
    const bool open = link_.OpenPort(portNumber, settingsText);
    freshPort_ = open;
    silence_.PortOpened();
    if (open)
        applyTx(radio::TxEvent::PortOpened, -1,
                QStringLiteral("The radio's port is back and receive has reached it: the radio is back on receive."));
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
    closePortThen({});
}

void Transceiver::closePortThen(std::function<void()> then)
{
    closeThen_ = std::move(then);
    if (closing_)
        return; // under way: it goes on to the later caller's step
    closing_ = true;
    resetRound();
    // What is queued will not go now, and its senders hear so; one told of
    // a dropped command may queue another, which is refused while closing.
    dropQueued();
    link_.AbandonQueued();
    if (!link_.PortOpen()) {
        finishClosing();
        return;
    }
    // However the line ends, the port closes within this bound.
    closeGuard_.start(ShutdownLimitMs);
    applyTx(radio::TxEvent::PortClosing); // a keyed transmitter owes receive; it goes first
    closeIfOnWire();
}

void Transceiver::closeIfOnWire()
{
    if (!closing_ || linkClosing_ || !radio::PortMayClose(turn_))
        return;
    linkClosing_ = true;
    link_.CloseWhenOnWire([this] { finishClosing(); });
}

void Transceiver::finishClosing()
{
    if (!closing_)
        return;
    closeGuard_.stop();
    closing_ = false;
    linkClosing_ = false;
    // At the bound, at once: receive that never left cannot go now.
    if (link_.PortOpen())
        link_.ClosePort();
    applyTx(radio::TxEvent::PortGone);
    auto then = std::move(closeThen_);
    closeThen_ = nullptr;
    if (then)
        then();
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
    silence_.PortOpened();
    messages_.dismissPortNotAvailable(); // the loss it told of is over
    applyTx(radio::TxEvent::PortOpened, -1,
            QStringLiteral("The radio's port is back and receive has reached it: the radio is back on receive."));
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
    applyTx(radio::TxEvent::Shutdown); // a keyed transmitter owes receive, which goes first
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
    // The release as soon as the line allows, right behind receive; then
    // the port closes once both have left the wire.
    ++serial_;
    link_.SendUrgent(RadioLink::Make(cat::MakeCommand(cat::CatOff), {}, [this](bool onLine) {
        released_ = onLine;
        closePortThen([this] { finishShutdown(); });
    }));
    // However the line ends, the shutdown ends within this bound.
    shutdownGuard_.start(ShutdownLimitMs);
}

void Transceiver::finishShutdown()
{
    if (!shutdownDone_)
        return;
    shutdownGuard_.stop();
    closeThen_ = nullptr;
    finishClosing();
    if (link_.PortOpen()) {
        link_.ClosePort();
        applyTx(radio::TxEvent::PortGone);
    }
    auto done = std::move(shutdownDone_);
    shutdownDone_ = nullptr;
    done(released_);
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
