#include "qt_sound_player.h"

#include "pcm_convert.h"

#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QMediaDevices>

#ifdef _WIN32
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1  // sf_wchar_open
#endif
#include <sndfile.h>

#include <cstring>
#include <vector>

QtSoundPlayer::QtSoundPlayer(QObject* parent) : SoundPlayer(parent) {
    tail_.setSingleShot(true);
    tail_.setInterval(300);
    connect(&tail_, &QTimer::timeout, this, &QtSoundPlayer::endPlayback);
}

QtSoundPlayer::~QtSoundPlayer() {
    close();
}

bool QtSoundPlayer::open(const QString& path) {
    close();

    SF_INFO info{};
#ifdef _WIN32
    SNDFILE* file = sf_wchar_open(reinterpret_cast<const wchar_t*>(path.utf16()), SFM_READ, &info);
#else
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
#endif
    if (!file)
        return false;
    std::vector<qint16> samples;
    if (info.channels > 0 && info.samplerate > 0 && info.frames > 0) {
        samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
        const sf_count_t got = sf_readf_short(file, samples.data(), info.frames);
        samples.resize(std::size_t(std::max<sf_count_t>(got, 0)) * std::size_t(info.channels));
    }
    sf_close(file);
    if (samples.empty())
        return false;

    const qint64 frames = qint64(samples.size()) / info.channels;
    durationMs_ = frames * 1000 / info.samplerate;

    device_ = QMediaDevices::defaultAudioOutput();
    QAudioFormat wanted;
    wanted.setSampleRate(info.samplerate);
    wanted.setChannelCount(info.channels);
    wanted.setSampleFormat(QAudioFormat::Int16);
    if (device_.isNull() || device_.isFormatSupported(wanted)) {
        format_ = wanted;
        pcm_ = QByteArray(reinterpret_cast<const char*>(samples.data()),
                          qsizetype(samples.size() * sizeof(qint16)));
    } else {
        format_ = device_.preferredFormat();
        pcm_ = ConvertPcm16(samples, info.samplerate, info.channels, format_);
        if (pcm_.isEmpty())
            return false;
    }
    open_ = true;
    return true;
}

void QtSoundPlayer::play() {
    if (!open_ || playing_)
        return;
    playing_ = true;
    if (device_.isNull()) {
        // No output device: the sound "ends" at once.
        QMetaObject::invokeMethod(this, &QtSoundPlayer::endPlayback, Qt::QueuedConnection);
        return;
    }
    sink_ = new QAudioSink(device_, format_, this);
    buffer_ = new QBuffer(sink_);
    buffer_->setData(pcm_);
    buffer_->open(QIODevice::ReadOnly);
    connect(sink_, &QAudioSink::stateChanged, this, &QtSoundPlayer::onStateChanged);
    sink_->start(buffer_);
    if (sink_->error() != QAudio::NoError)
        QMetaObject::invokeMethod(this, &QtSoundPlayer::endPlayback, Qt::QueuedConnection);
}

void QtSoundPlayer::onStateChanged() {
    if (!sink_ || !playing_)
        return;
    const QAudio::State state = sink_->state();
    if (state == QAudio::IdleState && buffer_ && buffer_->atEnd()) {
        // Every byte is with the device; let the buffered tail play out.
        if (!tail_.isActive())
            tail_.start();
    } else if (state == QAudio::StoppedState || sink_->error() != QAudio::NoError) {
        endPlayback();
    }
}

void QtSoundPlayer::endPlayback() {
    if (!playing_)
        return;
    playing_ = false;
    tail_.stop();
    releaseSink();
    emit playbackFinished();
}

void QtSoundPlayer::releaseSink() {
    if (!sink_)
        return;
    sink_->disconnect(this);
    sink_->stop();
    // Deleted later: this may run inside one of the sink's own signals.
    sink_->deleteLater();
    sink_ = nullptr;
    buffer_ = nullptr;
}

void QtSoundPlayer::close() {
    // Cancels any pending end: no playbackFinished() for a closed sound.
    playing_ = false;
    tail_.stop();
    releaseSink();
    open_ = false;
    durationMs_ = 0;
    pcm_.clear();
}
