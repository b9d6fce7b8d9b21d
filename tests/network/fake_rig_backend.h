#pragma once
// A radio behind the server for its tests: a fixed reading, and sets that
// are logged and either sent at once or held until the test releases them.
// Clients joining and leaving the turns are recorded; a client that leaves
// has its held sets dropped, reported as not sent, as the real queue does.

#include "rig_backend.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <set>
#include <vector>

class FakeRigBackend : public RigBackend {
public:
    FakeRigBackend()
    {
        snapshot.portOpen = true;
        snapshot.haveReading = true;
        snapshot.readingAgeMs = 100;
        snapshot.frequency10Hz = 1407400;
        snapshot.modeCode = 0x01;
        snapshot.sMeterRaw = 12;
    }

    RigSnapshot snapshot;
    bool holdSets = false; // keep sets waiting until Release
    QStringList sets;      // "F1407405", "M82", in the order they were queued

    std::set<int> openClients;       // in the turns now
    std::vector<int> closedClients;  // CloseClient calls, in order
    std::vector<int> stoppedSending; // ClientStoppedSending calls, in order

    RigSnapshot Snapshot() const override { return snapshot; }

    int OpenClient() override
    {
        openClients.insert(++lastClient_);
        return lastClient_;
    }
    void CloseClient(int client) override
    {
        closedClients.push_back(client);
        openClients.erase(client);
        std::vector<Pending> dropped;
        for (auto it = held_.begin(); it != held_.end();) {
            if (it->client == client) {
                dropped.push_back(std::move(*it));
                it = held_.erase(it);
            } else {
                ++it;
            }
        }
        for (auto& pending : dropped)
            pending.done(false);
    }
    void ClientStoppedSending(int client) override { stoppedSending.push_back(client); }

    void SetFrequency(int client, std::int32_t frequency10Hz, std::function<void(bool)> done) override
    {
        sets << QStringLiteral("F%1").arg(frequency10Hz);
        Queue(client, [this, frequency10Hz] { snapshot.frequency10Hz = frequency10Hz; }, std::move(done));
    }
    void SetMode(int client, std::uint8_t modeCode, std::function<void(bool)> done) override
    {
        sets << QStringLiteral("M%1").arg(modeCode, 2, 16, QLatin1Char('0'));
        Queue(client, [this, modeCode] { snapshot.modeCode = modeCode; }, std::move(done));
    }

    int Held() const { return int(held_.size()); }

    // Reports the oldest held set as sent (or failed), as the queue would.
    void Release(bool sent = true)
    {
        Pending next = std::move(held_.front());
        held_.pop_front();
        if (sent)
            next.apply();
        lastReleased_ = next.done;
        next.done(sent);
    }

    // A queue at fault reporting the last released set a second time.
    void RepeatLastReport() { lastReleased_(true); }

private:
    struct Pending {
        int client = 0;
        std::function<void()> apply;
        std::function<void(bool)> done;
    };
    void Queue(int client, std::function<void()> apply, std::function<void(bool)> done)
    {
        if (holdSets) {
            held_.push_back({client, std::move(apply), std::move(done)});
            return;
        }
        apply();
        done(true); // inside the call, as a queue that is idle may do
    }
    std::deque<Pending> held_;
    std::function<void(bool)> lastReleased_;
    int lastClient_ = 0;
};
