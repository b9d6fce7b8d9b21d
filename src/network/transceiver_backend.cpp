#include "transceiver_backend.h"

#include "allowed_sources.h"
#include "listen_address.h"
#include "transceiver.h"

RigSnapshot TransceiverBackend::Snapshot() const
{
    RigSnapshot snapshot;
    snapshot.portOpen = radio_.PortOpen();
    snapshot.answers = radio_.RadioAnswers();
    const VfoReading& current = radio_.Reading(radio::Vfo::Current);
    snapshot.haveReading = current.have;
    snapshot.readingAgeMs = current.AgeMs();
    snapshot.frequency10Hz = current.ReportedFrequency();
    snapshot.modeCode = current.ReportedMode();
    snapshot.haveMode = current.haveMode;
    snapshot.sMeterRaw = radio_.SMeterLevel();
    snapshot.meterAgeMs = radio_.MeterAgeMs();
    snapshot.squelchOpen = radio_.SquelchOpen();
    snapshot.rxStatusAgeMs = radio_.RxStatusAgeMs();
    snapshot.powerOutRaw = radio_.PowerOutLevel();
    snapshot.txStatusAgeMs = radio_.TxStatusAgeMs();
    snapshot.transmitting = radio_.Transmitting();
    snapshot.satellite = radio_.Satellite();
    snapshot.satelliteTxVfo = satelliteTxVfo_;
    const VfoReading& uplink = radio_.Reading(radio::Vfo::Uplink);
    snapshot.haveUplinkReading = uplink.have;
    snapshot.uplinkAgeMs = uplink.AgeMs();
    snapshot.uplinkFrequency10Hz = uplink.ReportedFrequency();
    snapshot.uplinkModeCode = uplink.ReportedMode();
    snapshot.haveUplinkMode = uplink.haveMode;
    return snapshot;
}

int TransceiverBackend::OpenClient(const QHostAddress& address, quint16 port)
{
    const QHostAddress source = Unmapped(address);
    return radio_.OpenClient(EndpointText(source, port), mayKey_(source));
}

void TransceiverBackend::CloseClient(int client) { radio_.CloseClient(client); }

void TransceiverBackend::ClientStoppedSending(int client) { radio_.ClientStoppedSending(client); }

ActionResult ActionResultOf(radio::Outcome outcome)
{
    switch (outcome) {
    case radio::Outcome::Sent: return ActionResult::Done;
    case radio::Outcome::NotSent: return ActionResult::NotSent;
    case radio::Outcome::Refused: return ActionResult::Refused;
    case radio::Outcome::NotAvailable: return ActionResult::NotAvailable;
    }
    return ActionResult::NotSent;
}

radio::Request RadioRequestOf(const RigAction& action)
{
    using Kind = radio::Request::Kind;
    const radio::Vfo vfo = action.uplink ? radio::Vfo::Uplink : radio::Vfo::Current;
    switch (action.kind) {
    case RigAction::Kind::Frequency: return {Kind::SetFrequency, vfo, action.frequency10Hz};
    case RigAction::Kind::Mode: return {Kind::SetMode, vfo, action.modeCode};
    case RigAction::Kind::Key: return {Kind::Key};
    case RigAction::Kind::Unkey: return {Kind::Unkey};
    case RigAction::Kind::Satellite: return {Kind::Satellite, radio::Vfo::Current, action.on ? 1 : 0};
    case RigAction::Kind::ToneMode: return {Kind::ToneMode, vfo, action.value, action.vfoNamed};
    case RigAction::Kind::Tone: return {Kind::Tone, vfo, action.value, action.vfoNamed};
    case RigAction::Kind::DcsCode: return {Kind::DcsCode, vfo, action.value, action.vfoNamed};
    case RigAction::Kind::Shift: return {Kind::Shift, vfo, action.value, action.vfoNamed};
    case RigAction::Kind::Offset: return {Kind::Offset, vfo, action.value, action.vfoNamed};
    }
    return {};
}

void TransceiverBackend::Perform(int client, const RigAction& action, std::function<void(ActionResult)> done)
{
    auto finish = [this, action, done = std::move(done)](radio::Outcome outcome) {
        if (outcome == radio::Outcome::Sent && action.kind == RigAction::Kind::Satellite && action.on)
            satelliteTxVfo_ = action.txVfo.empty() ? std::string("Sub") : action.txVfo;
        if (done)
            done(ActionResultOf(outcome));
    };
    radio_.Submit(RadioRequestOf(action), std::move(finish), client);
}

void TransceiverBackend::AwaitReading(std::function<void()> ready) { radio_.AwaitReading(std::move(ready)); }
