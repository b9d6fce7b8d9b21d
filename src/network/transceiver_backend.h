#pragma once
// The Transceiver as the network server sees it: its reading as a snapshot,
// its sets through the one command queue.

#include "rig_backend.h"

class Transceiver;

class TransceiverBackend final : public RigBackend {
public:
    explicit TransceiverBackend(Transceiver& radio) : radio_(radio) {}

    RigSnapshot Snapshot() const override;
    void SetFrequency(std::int32_t frequency10Hz, std::function<void(bool sent)> done) override;
    void SetMode(std::uint8_t modeCode, std::function<void(bool sent)> done) override;

private:
    Transceiver& radio_;
};
