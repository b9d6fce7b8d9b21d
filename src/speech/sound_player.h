#pragma once
// One sound at a time: open a file, play it asynchronously, close it.

#include <QObject>
#include <QString>

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SoundPlayer() override = default;

    // Opens and decodes the file; false when it is missing or not playable.
    // Opening closes whatever was open before.
    virtual bool open(const QString& path) = 0;
    // Starts playing the open sound and returns at once; playbackFinished()
    // follows once its last sample has been played (possibly from inside
    // play() itself). Does nothing when no sound is open.
    virtual void play() = 0;
    // Stops playing and releases the device; safe to call when nothing is open.
    // No playbackFinished() is emitted for a sound that was closed.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Length of the open sound, 0 when none is open.
    virtual qint64 durationMs() const = 0;

signals:
    void playbackFinished();
};
