#pragma once
// A radio behind the server for its tests: a fixed reading, and sets that
// are logged and either sent at once or held until the test releases them.

#include "rig_backend.h"

#include <QString>
#include <QStringList>

#include <deque>

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
    // "F1407405", "M82", "I14590000" (uplink), "T1", "T0", "S1 Sub", in the
    // order they were queued
    QStringList sets;
    QList<int> stoppedSending; // clients that closed their sending side, in order

    RigSnapshot Snapshot() const override { return snapshot; }

    void ClientStoppedSending(int client) override { stoppedSending << client; }

    void Perform(int, const RigAction& action, std::function<void(ActionResult)> done) override
    {
        std::function<void()> apply = [] {};
        switch (action.kind) {
        case RigAction::Kind::Frequency:
            sets << QStringLiteral("%1%2").arg(action.uplink ? 'I' : 'F').arg(action.frequency10Hz);
            apply = [this, action] { (action.uplink ? snapshot.uplinkFrequency10Hz : snapshot.frequency10Hz) = action.frequency10Hz; };
            break;
        case RigAction::Kind::Mode:
            sets << QStringLiteral("%1%2").arg(action.uplink ? 'X' : 'M').arg(action.modeCode, 2, 16, QLatin1Char('0'));
            apply = [this, action] { (action.uplink ? snapshot.uplinkModeCode : snapshot.modeCode) = action.modeCode; };
            break;
        case RigAction::Kind::Key:
        case RigAction::Kind::Unkey:
            sets << (action.kind == RigAction::Kind::Key ? QStringLiteral("T1") : QStringLiteral("T0"));
            apply = [this, action] { snapshot.transmitting = action.kind == RigAction::Kind::Key; };
            break;
        case RigAction::Kind::Satellite:
            sets << QStringLiteral("S%1 %2").arg(action.on ? 1 : 0).arg(QString::fromStdString(action.txVfo));
            apply = [this, action] { snapshot.satellite = action.on; };
            break;
        }
        Queue(std::move(apply), std::move(done));
    }

    int Held() const { return int(held_.size()); }

    // Reports the oldest held set as sent (or failed), as the queue would.
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

    // A queue at fault reporting the last released set a second time.
    void RepeatLastReport() { lastReleased_(ActionResult::Done); }

private:
    struct Pending {
        std::function<void()> apply;
        std::function<void(ActionResult)> done;
    };
    void Queue(std::function<void()> apply, std::function<void(ActionResult)> done)
    {
        if (holdSets) {
            held_.push_back({std::move(apply), std::move(done)});
            return;
        }
        apply();
        done(ActionResult::Done); // inside the call, as a queue that is idle may do
    }
    std::deque<Pending> held_;
    std::function<void(ActionResult)> lastReleased_;
};
