#pragma once
// The Transceiver as the network server sees it: its reading as a snapshot,
// its sets through the clients' turns on the line.

#include "rig_backend.h"

class Transceiver;

class TransceiverBackend final : public RigBackend {
public:
    explicit TransceiverBackend(Transceiver& radio) : radio_(radio) {}

    RigSnapshot Snapshot() const override;
    int OpenClient() override;
    void CloseClient(int client) override;
    void SetFrequency(int client, std::int32_t frequency10Hz, std::function<void(bool sent)> done) override;
    void SetMode(int client, std::uint8_t modeCode, std::function<void(bool sent)> done) override;
    void AwaitReading(std::function<void()> ready) override;

private:
    Transceiver& radio_;
};
