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

#include <algorithm>
#include <vector>

namespace {

// How often the sink is asked how far it has played.
constexpr int kEndPollMs = 10;
// processedUSecs() may stop a rounding step short of the stream's length.
constexpr qint64 kEndToleranceUs = 2000;
// The device's buffer. What the device holds once it has taken the last
// sample is still to be heard, so it is kept short; the UI thread does
// nothing else while speaking and keeps it filled.
constexpr qint64 kDeviceBufferUs = 200'000;

struct DecodedSound {
    std::vector<qint16> samples;  // interleaved
    int rate = 0;
    int channels = 0;
};

DecodedSound decode(const QString& path) {
    DecodedSound sound;
    SF_INFO info{};
#ifdef _WIN32
    SNDFILE* file = sf_wchar_open(reinterpret_cast<const wchar_t*>(path.utf16()), SFM_READ, &info);
#else
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
#endif
    if (!file)
        return sound;
    if (info.channels > 0 && info.samplerate > 0 && info.frames > 0) {
        sound.samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
        const sf_count_t got = sf_readf_short(file, sound.samples.data(), info.frames);
        sound.samples.resize(std::size_t(std::max<sf_count_t>(got, 0)) * std::size_t(info.channels));
        sound.rate = info.samplerate;
        sound.channels = info.channels;
    }
    sf_close(file);
    return sound;
}

}  // namespace

QtSoundPlayer::QtSoundPlayer(QObject* parent) : SoundPlayer(parent) {
    endPoll_.setInterval(kEndPollMs);
    endPoll_.setTimerType(Qt::PreciseTimer);
    connect(&endPoll_, &QTimer::timeout, this, &QtSoundPlayer::checkEnd);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &QtSoundPlayer::endPlayback);
    heldByDevice_.setSingleShot(true);
    heldByDevice_.setTimerType(Qt::PreciseTimer);
    connect(&heldByDevice_, &QTimer::timeout, this, &QtSoundPlayer::endPlayback);
}

QtSoundPlayer::~QtSoundPlayer() {
    stop();
}

bool QtSoundPlayer::append(const QString& path) {
    if (playing_)
        return false;
    const DecodedSound sound = decode(path);
    if (sound.samples.empty())
        return false;

    QAudioFormat own;
    own.setSampleRate(sound.rate);
    own.setChannelCount(sound.channels);
    own.setSampleFormat(QAudioFormat::Int16);
    if (!format_.isValid()) {
        device_ = QMediaDevices::defaultAudioOutput();
        format_ = device_.isNull() || device_.isFormatSupported(own) ? own : device_.preferredFormat();
        if (!format_.isValid())
            return false;
    }
    if (format_.sampleRate() == own.sampleRate() && format_.channelCount() == own.channelCount() &&
        format_.sampleFormat() == own.sampleFormat()) {
        pcm_.append(reinterpret_cast<const char*>(sound.samples.data()),
                    qsizetype(sound.samples.size() * sizeof(qint16)));
        return true;
    }
    const QByteArray converted = ConvertPcm16(sound.samples, sound.rate, sound.channels, format_);
    pcm_.append(converted);
    return !converted.isEmpty();
}

void QtSoundPlayer::play() {
    if (playing_)
        return;
    playing_ = true;
    ++streamNumber_;
    if (pcm_.isEmpty() || device_.isNull()) {
        // Nothing to play, or nowhere to play it: the stream "ends" at once.
        endLater();
        return;
    }
    sink_ = new QAudioSink(device_, format_, this);
    sink_->setBufferSize(format_.bytesForDuration(kDeviceBufferUs));
    buffer_ = new QBuffer(sink_);
    buffer_->setData(pcm_);
    buffer_->open(QIODevice::ReadOnly);
    sink_->start(buffer_);
    if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
        // The device refused the stream: carry on silently.
        endLater();
        return;
    }
    connect(sink_, &QAudioSink::stateChanged, this, &QtSoundPlayer::checkEnd);
    endPoll_.start();
    deadline_.start(int(std::min<qint64>(EndDeadlineMs(durationMs()), 3'600'000)));
}

void QtSoundPlayer::checkEnd() {
    if (!playing_ || !sink_)
        return;
    const QAudio::Error error = sink_->error();
    if (sink_->state() == QAudio::StoppedState ||
        (error != QAudio::NoError && error != QAudio::UnderrunError)) {
        endPlayback();  // the device went away mid-stream
        return;
    }
    if (heldByDevice_.isActive())
        return;
    // Idle alone is not the end: it comes once the last byte is handed over
    // to the sink. processedUSecs() reaches the stream's length once the
    // audio server has taken every sample, but (with PulseAudio) without
    // counting what the device still holds: at most its buffer, whose
    // length is waited out before the stream ends.
    if (buffer_ && buffer_->atEnd() && sink_->processedUSecs() >= durationUs() - kEndToleranceUs) {
        endPoll_.stop();
        const qint64 heldUs = format_.durationForBytes(qint32(sink_->bufferSize()));
        heldByDevice_.start(int(std::clamp<qint64>(heldUs / 1000, 0, 2000)));
    }
}

void QtSoundPlayer::endLater() {
    // Only for this stream: stop() and a new play() before the call runs
    // must not end the new one.
    QMetaObject::invokeMethod(
        this, [this, stream = streamNumber_] {
            if (stream == streamNumber_)
                endPlayback();
        },
        Qt::QueuedConnection);
}

void QtSoundPlayer::endPlayback() {
    if (!playing_)
        return;
    stop();
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

void QtSoundPlayer::stop() {
    playing_ = false;
    endPoll_.stop();
    deadline_.stop();
    heldByDevice_.stop();
    releaseSink();
    pcm_.clear();
    format_ = QAudioFormat();
    device_ = QAudioDevice();
}

qint64 QtSoundPlayer::durationUs() const {
    return format_.isValid() ? format_.durationForBytes(qint32(std::min<qsizetype>(pcm_.size(), INT32_MAX)))
                             : 0;
}

qint64 QtSoundPlayer::durationMs() const {
    return durationUs() / 1000;
}
