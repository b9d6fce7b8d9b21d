#pragma once
// Plays WAV files (any PCM width, mono or stereo, any rate; decoded with
// libsndfile) through QAudioSink on the default audio output.
//
// With no audio output at all the player stays silent: open() still
// succeeds for a decodable file, and play() reports the end at once (from
// the event loop), so a spoken sequence runs through without delay.

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

    bool open(const QString& path) override;
    void play() override;
    void close() override;
    bool isOpen() const override { return open_; }
    qint64 durationMs() const override { return durationMs_; }

    // How long the sink keeps running after it has taken the last byte, so
    // the audio still buffered in the device is heard; 300 ms by default.
    void setTailMs(int ms) { tail_.setInterval(ms); }

private:
    void onStateChanged();
    void endPlayback();
    void releaseSink();

    bool open_ = false;
    bool playing_ = false;
    qint64 durationMs_ = 0;
    QAudioDevice device_;
    QAudioFormat format_;
    QByteArray pcm_;
    QPointer<QAudioSink> sink_;
    QPointer<QBuffer> buffer_;
    QTimer tail_;
};
