#pragma once
// Plays WAV files (any PCM width, mono or stereo, any rate; decoded with
// libsndfile) back to back through one QAudioSink on the default output.
//
// The first file appended fixes the stream's format (its own, or the
// device's preferred one when the device refuses it); later files are
// converted to it. The end of playback is read from the sink: every byte
// handed over, processedUSecs() at the stream's length, then the device's
// short buffer played out. A deadline derived from the length bounds the
// wait for a device that never gets there. With no audio output at all the
// player stays silent: files still append, and play() reports the end at
// once (from the event loop).

#include "sound_player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>
#include <QPointer>
#include <QTimer>

class QAudioSink;
class QBuffer;

class QtSoundPlayer final : public SoundPlayer {
    Q_OBJECT
public:
    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    bool append(const QString& path) override;
    void play() override;
    void stop() override;
    qint64 durationMs() const override;

    bool isPlaying() const { return playing_; }

    // How long a stream may take before its end is assumed: its length,
    // plus the device's start-up (a null PulseAudio sink left idle starts a
    // new stream up to two seconds late) and stalls in proportion to it.
    static qint64 EndDeadlineMs(qint64 durationMs) { return durationMs + durationMs / 4 + 2500; }

private:
    void checkEnd();
    void endLater();
    void endPlayback();
    void releaseSink();
    qint64 durationUs() const;

    bool playing_ = false;
    quint64 streamNumber_ = 0;
    QAudioDevice device_;
    QAudioFormat format_;  // valid once the first file is appended
    QByteArray pcm_;
    QPointer<QAudioSink> sink_;
    QPointer<QBuffer> buffer_;
    QTimer endPoll_;
    QTimer deadline_;
    QTimer heldByDevice_;  // the device's buffer playing out after the last sample
};
