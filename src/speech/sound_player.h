#pragma once
// Plays sounds back to back as one stream: the files are decoded into the
// stream first, then the whole stream is played in one go, so nothing waits
// between one sound and the next.

#include <QObject>
#include <QString>

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SoundPlayer() override = default;

    // Decodes the file and adds its sound to the end of the stream being
    // prepared. False, adding nothing, when the file is missing or not
    // playable, or while the stream is playing.
    virtual bool append(const QString& path) = 0;
    // Plays the prepared stream from its start and returns at once.
    // playbackFinished() follows from the event loop (never inside play())
    // once the last sample has been played, or promptly when there is
    // nothing to play or no audio output. The stream is then dropped.
    virtual void play() = 0;
    // Stops at once and drops the stream, prepared or playing; no
    // playbackFinished() follows for it. Harmless when idle.
    virtual void stop() = 0;
    // Length of the prepared or playing stream; 0 when there is none.
    virtual qint64 durationMs() const = 0;

signals:
    void playbackFinished();
};
