#pragma once
// The Transceiver as the network server sees it: its readings as a
// snapshot, its clients' actions through their turns on the line.

#include "radio_request.h"
#include "rig_backend.h"

#include <functional>

class Transceiver;

// What a client's action asks of the radio, and what the client is told of
// how it ended.
radio::Request RadioRequestOf(const RigAction& action);
ActionResult ActionResultOf(radio::Outcome outcome);

class TransceiverBackend final : public RigBackend {
public:
    explicit TransceiverBackend(Transceiver& radio) : radio_(radio) {}

    // Who may key the transmitter, by address; until set, this computer only.
    void SetKeyingAllowed(std::function<bool(const QHostAddress&)> mayKey) { mayKey_ = std::move(mayKey); }

    RigSnapshot Snapshot() const override;
    int OpenClient(const QHostAddress& address, quint16 port) override;
    void CloseClient(int client) override;
    void ClientStoppedSending(int client) override;
    void Perform(int client, const RigAction& action, std::function<void(ActionResult)> done) override;
    void AwaitReading(std::function<void()> ready) override;

private:
    Transceiver& radio_;
    std::function<bool(const QHostAddress&)> mayKey_ = [](const QHostAddress& a) { return a.isLoopback(); };
    // The TX VFO word of the request that turned satellite mode on, for `s`.
    std::string satelliteTxVfo_ = "Sub";
};
