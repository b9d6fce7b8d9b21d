#pragma once
// A radio behind the server for its tests: a fixed reading, and actions that
// are logged and either done at once or held until the test releases them.
// Clients joining and leaving the turns are recorded; a client that leaves
// has its held actions dropped, reported as not sent, as the real queue does.

#include "rig_backend.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <set>
#include <vector>

// "F1407405", "M82", "I14590000" and "X01" on the uplink, "T1", "T0", "S1 Sub";
// the FM settings as "U1", "C885 Sub", "D23 Main", "R-1", "O60000".
inline QString ActionText(const RigAction& action)
{
    const auto fm = [&](char name) {
        const char* vfo = action.uplink ? " Sub" : action.vfoNamed ? " Main" : "";
        return QStringLiteral("%1%2%3").arg(name).arg(action.value).arg(QLatin1String(vfo));
    };
    switch (action.kind) {
    case RigAction::Kind::Frequency:
        return QStringLiteral("%1%2").arg(action.uplink ? 'I' : 'F').arg(action.frequency10Hz);
    case RigAction::Kind::Mode:
        return QStringLiteral("%1%2").arg(action.uplink ? 'X' : 'M').arg(action.modeCode, 2, 16, QLatin1Char('0'));
    case RigAction::Kind::Key:
        return QStringLiteral("T1");
    case RigAction::Kind::Unkey:
        return QStringLiteral("T0");
    case RigAction::Kind::Satellite:
        return QStringLiteral("S%1 %2").arg(action.on ? 1 : 0).arg(QString::fromStdString(action.txVfo));
    case RigAction::Kind::ToneMode: return fm('U');
    case RigAction::Kind::Tone: return fm('C');
    case RigAction::Kind::DcsCode: return fm('D');
    case RigAction::Kind::Shift: return fm('R');
    case RigAction::Kind::Offset: return fm('O');
    }
    return {};
}

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
        snapshot.meterAgeMs = 100;
    }

    RigSnapshot snapshot;
    bool holdSets = false; // keep actions waiting until Release
    QStringList sets; // ActionText of each action, in the order they were queued

    std::set<int> openClients;       // in the turns now
    std::vector<int> closedClients;  // CloseClient calls, in order
    std::vector<int> stoppedSending; // ClientStoppedSending calls, in order

    RigSnapshot Snapshot() const override { return snapshot; }

    int OpenClient(const QHostAddress& = {}, quint16 = 0) override
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
            pending.done(ActionResult::NotSent);
    }
    void ClientStoppedSending(int client) override { stoppedSending.push_back(client); }

    void Perform(int client, const RigAction& action, std::function<void(ActionResult)> done) override
    {
        sets << ActionText(action);
        Queue(client, [this, action] {
            using Kind = RigAction::Kind;
            if (action.kind == Kind::Frequency)
                (action.uplink ? snapshot.uplinkFrequency10Hz : snapshot.frequency10Hz) = action.frequency10Hz;
            else if (action.kind == Kind::Mode)
                (action.uplink ? snapshot.uplinkModeCode : snapshot.modeCode) = action.modeCode;
            else if (action.kind == Kind::Satellite)
                snapshot.satellite = action.on;
            else if (action.kind == Kind::Key || action.kind == Kind::Unkey)
                snapshot.transmitting = action.kind == Kind::Key;
        }, std::move(done));
    }

    int Held() const { return int(held_.size()); }

    // Reports the oldest held action as done (or failed), as the queue would.
    void Release(bool sent = true) { Release(sent ? ActionResult::Done : ActionResult::NotSent); }
    void Release(ActionResult result)
    {
        Pending next = std::move(held_.front());
        held_.pop_front();
        if (result == ActionResult::Done)
            next.apply();
        lastReleased_ = next.done;
        next.done(result);
    }

    // A queue at fault reporting the last released action a second time.
    void RepeatLastReport() { lastReleased_(ActionResult::Done); }

private:
    struct Pending {
        int client = 0;
        std::function<void()> apply;
        std::function<void(ActionResult)> done;
    };
    void Queue(int client, std::function<void()> apply, std::function<void(ActionResult)> done)
    {
        if (holdSets) {
            held_.push_back({client, std::move(apply), std::move(done)});
            return;
        }
        apply();
        done(ActionResult::Done); // inside the call, as a queue that is idle may do
    }
    std::deque<Pending> held_;
    std::function<void(ActionResult)> lastReleased_;
    int lastClient_ = 0;
};
