#pragma once
// A player that plays nothing and finishes its stream after holdMs, and
// records the files appended to it; closes counts stop() calls.

#include "sound_player.h"

#include <QMetaObject>
#include <QTimer>
#include <QStringList>

class SilentPlayer final : public SoundPlayer {
    Q_OBJECT
public:
    QStringList opened;
    int closes = 0;
    int holdMs = 0; // how long each "sound" lasts

    bool append(const QString& path) override
    {
        opened << path;
        open_ = true;
        return true;
    }
    void play() override
    {
        QTimer::singleShot(holdMs, this, [this] {
            if (open_) {
                open_ = false;
                emit playbackFinished();
            }
        });
    }
    void stop() override
    {
        ++closes;
        open_ = false;
    }
    bool isOpen() const { return open_; }
    qint64 durationMs() const override { return open_ ? 300 : 0; }

private:
    bool open_ = false;
};
