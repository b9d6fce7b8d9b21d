#include "transceiver_backend.h"

#include "transceiver.h"

RigSnapshot TransceiverBackend::Snapshot() const
{
    RigSnapshot snapshot;
    snapshot.portOpen = radio_.PortOpen();
    snapshot.haveReading = radio_.HaveFrequency();
    snapshot.readingAgeMs = radio_.ReadingAgeMs();
    snapshot.frequency10Hz = radio_.ReportedFrequency();
    snapshot.modeCode = radio_.ReportedModeCode();
    snapshot.sMeterRaw = radio_.SMeterLevel();
    return snapshot;
}

int TransceiverBackend::OpenClient() { return radio_.OpenClient(); }

void TransceiverBackend::CloseClient(int client) { radio_.CloseClient(client); }

void TransceiverBackend::SetFrequency(int client, std::int32_t frequency10Hz, std::function<void(bool sent)> done)
{
    // The protocol has checked the range; a refusal here still answers.
    if (!radio_.SetFrequency(frequency10Hz, done, client) && done)
        done(false);
}

void TransceiverBackend::SetMode(int client, std::uint8_t modeCode, std::function<void(bool sent)> done)
{
    radio_.SetMode(modeCode, std::move(done), client);
}

void TransceiverBackend::AwaitReading(std::function<void()> ready) { radio_.AwaitReading(std::move(ready)); }
