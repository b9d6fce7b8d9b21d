// Speaks "14.200.00" through QtSoundPlayer into a PulseAudio null sink while
// parec records its monitor, then checks the recording: the nine sounds form
// one stream, sitting exactly where the files laid end to end put them, the
// last one played to its end; finished() comes soon after that end; Stop()
// cuts the sound off.
// Needs a reachable PulseAudio server (scripts/with-pulseaudio.sh provides
// one); skipped otherwise.

#include "frequency_speaker.h"
#include "qt_sound_player.h"

#include <QDir>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kRate = 22050;      // the sounds' rate; the recording is made at it
constexpr int kThreshold = 1000;  // of 32767: well above resampling noise
// A stream joining a running null sink makes the sink rewind; the monitor
// has already passed on silence for that stretch, so up to ~20 ms of the
// stream's start is missing from the recording though it was played.
constexpr double kStartLossMs = 30;
constexpr double kEndSlackMs = 3;  // sample positions must match to within this
// A silence may come out a little longer than in the file where the
// round trip through the 44.1 kHz sink leaves a sound's edge under the
// threshold.
constexpr double kSilenceSlackMs = 5;

struct Span {
    qint64 begin, end;  // samples, [begin, end)
};

// First channel of a file at kRate; empty when unreadable or at another rate.
std::vector<int> readMono(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return {};
    std::vector<short> interleaved(std::size_t(info.frames) * info.channels);
    const sf_count_t frames = sf_readf_short(f, interleaved.data(), info.frames);
    sf_close(f);
    if (info.samplerate != kRate)
        return {};
    std::vector<int> mono(std::size_t(std::max<sf_count_t>(frames, 0)));
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = interleaved[i * info.channels];
    return mono;
}

double ms(qint64 samples) { return samples * 1000.0 / kRate; }

// First to last loud sample at or after `from`; empty span when none.
Span loudSpan(const std::vector<int>& s, qint64 from = 0) {
    Span span{-1, -1};
    for (qint64 i = from; i < qint64(s.size()); ++i) {
        if (std::abs(s[i]) < kThreshold)
            continue;
        if (span.begin < 0)
            span.begin = i;
        span.end = i + 1;
    }
    return span.begin < 0 ? Span{0, 0} : span;
}

// The longest run of quiet samples inside the span.
qint64 longestSilence(const std::vector<int>& s, Span span) {
    qint64 longest = 0, last = span.begin;
    for (qint64 i = span.begin; i < span.end; ++i)
        if (std::abs(s[i]) >= kThreshold) {
            longest = std::max(longest, i - last - 1);
            last = i;
        }
    return longest;
}

// The offset (recording index minus reference index) in [lo, hi] at which
// the 100 ms of the reference from `from` best match the recording, by
// normalised correlation.
qint64 align(const std::vector<int>& rec, const std::vector<int>& ref, qint64 from, qint64 lo,
             qint64 hi) {
    const qint64 len = std::min<qint64>(kRate / 10, qint64(ref.size()) - from);
    double bestScore = -2;
    qint64 best = lo;
    for (qint64 lag = lo; lag <= hi; ++lag) {
        if (from + lag < 0 || from + len + lag > qint64(rec.size()))
            continue;
        double dot = 0, energy = 1;
        for (qint64 k = from; k < from + len; ++k) {
            dot += double(ref[k]) * rec[k + lag];
            energy += double(rec[k + lag]) * rec[k + lag];
        }
        const double score = dot / std::sqrt(energy);
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

QString run(const QString& program, const QStringList& args, bool* ok = nullptr) {
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit &&
                      p.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// Records a sink's monitor (mono, kRate, 16 bit) as it plays, so a test can
// tell where in the sound a signal came.
class MonitorRecorder {
public:
    bool start(const QString& sink) {
        // A short latency: with the default, whole sounds went missing.
        process_.start(QStringLiteral("parec"),
                       {QStringLiteral("-d"), sink + QStringLiteral(".monitor"),
                        QStringLiteral("--latency-msec=20"), QStringLiteral("--rate=%1").arg(kRate),
                        QStringLiteral("--channels=1"), QStringLiteral("--format=s16le")});
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { take(); });
        return process_.waitForStarted(5000);
    }
    // Samples received so far.
    const std::vector<int>& samples() {
        take();
        return samples_;
    }
    qint64 size() { return qint64(samples().size()); }
    void stop() {
        take();
        process_.terminate();
        process_.waitForFinished(5000);
    }

private:
    void take() {
        pending_ += process_.readAllStandardOutput();
        const qsizetype whole = pending_.size() / 2 * 2;
        for (qsizetype i = 0; i < whole; i += 2) {
            qint16 v;
            std::memcpy(&v, pending_.constData() + i, 2);
            samples_.push_back(v);
        }
        pending_.remove(0, whole);
    }

    QProcess process_;
    QByteArray pending_;
    std::vector<int> samples_;
};

}  // namespace

class TestRealAudio : public QObject {
    Q_OBJECT

    const QString text_ = QStringLiteral("14.200.00");
    std::vector<int> reference_;    // the text's files end to end
    std::vector<qint64> starts_;    // where each file begins in it
    QString recorderError_;

    static bool pulseReachable() {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER") &&
            qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            return false;
        bool reachable = false;
        run(QStringLiteral("pactl"), {QStringLiteral("info")}, &reachable);
        return reachable;
    }

    // A recorder attached to the null sink's monitor and warmed up; null,
    // with recorderError_ set, when anything is missing.
    std::unique_ptr<MonitorRecorder> startRecorder() {
        if (QMediaDevices::audioOutputs().isEmpty()) {
            recorderError_ = QStringLiteral("PulseAudio is running but Qt sees no audio output");
            return nullptr;
        }
        QString sink = qEnvironmentVariable("SOLVANE_TEST_SINK");
        if (sink.isEmpty())
            sink = run(QStringLiteral("pactl"), {QStringLiteral("get-default-sink")});
        auto recorder = std::make_unique<MonitorRecorder>();
        if (sink.isEmpty() || !recorder->start(sink)) {
            recorderError_ = QStringLiteral("parec did not start");
            return nullptr;
        }
        // Recording has begun once samples arrive.
        if (!QTest::qWaitFor([&] { return recorder->size() > kRate / 10; }, 5000)) {
            recorderError_ = QStringLiteral("parec records nothing");
            return nullptr;
        }
        // The first playback stream after a recorder attaches starts about a
        // second late here; 0.2 s of silence takes that hit before we speak.
        QProcess warmUp;
        warmUp.start(QStringLiteral("pacat"), {QStringLiteral("--rate=44100"),
                                                QStringLiteral("--channels=2"),
                                                QStringLiteral("--format=s16le")});
        if (!warmUp.waitForStarted(5000)) {
            recorderError_ = QStringLiteral("pacat did not start");
            return nullptr;
        }
        warmUp.write(QByteArray(44100 / 5 * 4, '\0'));
        warmUp.closeWriteChannel();
        warmUp.waitForFinished(5000);
        const qint64 settled = recorder->size() + kRate / 5;
        (void)QTest::qWaitFor([&] { return recorder->size() >= settled; }, 5000);
        return recorder;
    }

private slots:
    void initTestCase() {
        const QDir sounds(QStringLiteral(SOLVANE_SOUNDS_DIR));
        for (QChar c : text_) {
            const QString name = FrequencySpeaker::SoundFileName(c);
            const std::vector<int> file = readMono(sounds.filePath(name));
            const Span voiced = loudSpan(file);
            QVERIFY2(ms(voiced.end - voiced.begin) > 150,
                     qPrintable(name + QStringLiteral(": not a 22050 Hz sound")));
            starts_.push_back(qint64(reference_.size()));
            reference_.insert(reference_.end(), file.begin(), file.end());
        }
    }

    // Decoding needs no audio device: formats other than the sounds' own
    // append with their true length, converted to the stream's format;
    // missing and undecodable files add nothing.
    void appendsAnyPcmWav() {
        QTemporaryDir tmp;
        const QString stereo24 = tmp.filePath(QStringLiteral("s24.wav"));
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        SNDFILE* f = sf_open(QFile::encodeName(stereo24).constData(), SFM_WRITE, &info);
        QVERIFY(f);
        std::vector<int> frames(48000 / 4 * 2, 1 << 20);  // 250 ms
        QCOMPARE(sf_writef_int(f, frames.data(), 48000 / 4), sf_count_t(48000 / 4));
        sf_close(f);
        QFile junk(tmp.filePath(QStringLiteral("junk.wav")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a sound file at all");
        junk.close();

        QtSoundPlayer player;
        QVERIFY(player.append(stereo24));
        QCOMPARE(player.durationMs(), qint64(250));
        QVERIFY(!player.append(junk.fileName()));
        QVERIFY(!player.append(tmp.filePath(QStringLiteral("missing.wav"))));
        QCOMPARE(player.durationMs(), qint64(250));
        // 0.wav is 22050 Hz mono, 11127 frames: 504 ms whatever the stream's format.
        QVERIFY(player.append(QStringLiteral(SOLVANE_SOUNDS_DIR "/0.wav")));
        QCOMPARE(player.durationMs(), qint64(754));
        player.stop();
        QCOMPARE(player.durationMs(), qint64(0));
        QVERIFY(!player.isPlaying());
        player.stop();  // stopping twice is harmless
    }

    // Without any audio output the stream ends at once: the readout runs
    // through silently instead of hanging.
    void speaksSilentlyWithoutAudioDevice() {
        if (!QMediaDevices::audioOutputs().isEmpty())
            QSKIP("an audio output exists; this covers machines without one");
        QtSoundPlayer player;
        FrequencySpeaker speaker(&player);
        QSignalSpy ended(&player, &SoundPlayer::playbackFinished);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        const QString startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QStringLiteral(SOLVANE_SOUNDS_DIR)));
        speaker.SpeakNumbers(QStringLiteral("14.2"));
        const bool finished = done.wait(5000);
        QDir::setCurrent(startDir);
        QVERIFY(finished);
        // Reported by the player, not left to the speaker's bounded wait.
        QCOMPARE(ended.count(), 1);
        QVERIFY(!player.isPlaying());
    }

    void speaksFrequencyAsOneStream() {
        if (!pulseReachable())
            QSKIP("no PulseAudio server reachable; run under scripts/with-pulseaudio.sh");
        // From here on a server is there, so anything missing is a failure.
        std::unique_ptr<MonitorRecorder> recorder = startRecorder();
        QVERIFY2(recorder, qPrintable(recorderError_));

        QtSoundPlayer player;
        const QString startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QStringLiteral(SOLVANE_SOUNDS_DIR)));
        FrequencySpeaker speaker(&player);
        qint64 finishedAt = -1;  // in the recording
        connect(&speaker, &FrequencySpeaker::finished, this,
                [&] { finishedAt = recorder->size(); });
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        const qint64 spokenAt = recorder->size();
        speaker.SpeakNumbers(text_);
        const bool finished = done.wait(15000);
        QDir::setCurrent(startDir);
        QVERIFY2(finished, "speaking did not finish");
        QVERIFY(!player.isPlaying());
        const qint64 until = recorder->size() + kRate / 2;
        (void)QTest::qWaitFor([&] { return recorder->size() >= until; }, 5000);
        recorder->stop();
        QCOMPARE(done.count(), 1);

        const std::vector<int>& rec = recorder->samples();
        const Span heard = loudSpan(rec, spokenAt);
        const Span written = loudSpan(reference_);
        QVERIFY2(heard.end > heard.begin, "nothing was recorded");
        // Where the first and the last sound line up: one stream puts them
        // the same distance from their places in the files end to end.
        const qint64 slack = kRate / 20;
        const qint64 firstLag = align(rec, reference_, written.begin + slack,
                                      heard.begin - written.begin - slack,
                                      heard.begin - written.begin + slack);
        const qint64 lastLag = align(rec, reference_, starts_.back() + slack, firstLag - slack,
                                     firstLag + 3 * kRate);
        const qint64 quietHeard = longestSilence(rec, heard);
        const qint64 quietWritten = longestSilence(reference_, written);
        qInfo().noquote() << QStringLiteral(
                                 "sound %1 ms after the call, %2 ms long (the files: %3 ms); "
                                 "last sound %4 ms later than one stream puts it; longest "
                                 "silence %5 ms (the files: %6 ms); finished %7 ms after the "
                                 "sound ended")
                                 .arg(ms(heard.begin - spokenAt), 0, 'f', 1)
                                 .arg(ms(heard.end - heard.begin), 0, 'f', 1)
                                 .arg(ms(written.end - written.begin), 0, 'f', 1)
                                 .arg(ms(lastLag - firstLag), 0, 'f', 1)
                                 .arg(ms(quietHeard), 0, 'f', 1)
                                 .arg(ms(quietWritten), 0, 'f', 1)
                                 .arg(ms(finishedAt - heard.end), 0, 'f', 1);

        // Played to its last sample: the recording ends where the files do.
        QVERIFY2(ms(heard.end - (written.end + firstLag)) >= -kEndSlackMs,
                 "the last sound is cut short");
        QVERIFY2(ms(heard.end - heard.begin) <= ms(written.end - written.begin) + kEndSlackMs,
                 "longer than the files: gaps between the sounds");
        QVERIFY2(std::abs(ms(lastLag - firstLag)) <= kEndSlackMs,
                 "the sounds are not one stream: the last one is out of place");
        QVERIFY2(ms(quietHeard - quietWritten) <= kSilenceSlackMs,
                 "a silence the files do not hold");
        QVERIFY2(ms(heard.end - heard.begin) >= ms(written.end - written.begin) - kStartLossMs,
                 "sound is missing from the start");
        // The recording lags the sink a little, so finished() may seem to come
        // early; it must not hold the program long after the sound.
        QVERIFY2(ms(finishedAt - heard.end) <= 300, "finished long after the sound ended");
    }

    void stopCutsTheSoundOff() {
        if (!pulseReachable())
            QSKIP("no PulseAudio server reachable; run under scripts/with-pulseaudio.sh");
        // From here on a server is there, so anything missing is a failure.
        std::unique_ptr<MonitorRecorder> recorder = startRecorder();
        QVERIFY2(recorder, qPrintable(recorderError_));

        QtSoundPlayer player;
        const QString startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QStringLiteral(SOLVANE_SOUNDS_DIR)));
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        const qint64 spokenAt = recorder->size();
        speaker.SpeakNumbers(text_);
        QDir::setCurrent(startDir);
        // Stop once the recording holds the first second of sound.
        const bool sounding = QTest::qWaitFor(
            [&] {
                const Span s = loudSpan(recorder->samples(), spokenAt);
                return s.end - s.begin >= kRate;
            },
            10000);
        QVERIFY2(sounding, "no sound recorded");
        QVERIFY(speaker.isSpeaking());
        const qint64 stoppedAt = recorder->size();
        speaker.Stop();
        QCOMPARE(done.count(), 1);
        QVERIFY(!speaker.isSpeaking());
        QVERIFY(!player.isPlaying());
        const qint64 until = stoppedAt + kRate;
        QVERIFY(QTest::qWaitFor([&] { return recorder->size() >= until; }, 5000));
        recorder->stop();
        QCOMPARE(done.count(), 1);

        const Span heard = loudSpan(recorder->samples(), spokenAt);
        const Span written = loudSpan(reference_);
        qInfo().noquote() << QStringLiteral("%1 ms of sound (the files: %2 ms), %3 ms of it after Stop()")
                                 .arg(ms(heard.end - heard.begin), 0, 'f', 1)
                                 .arg(ms(written.end - written.begin), 0, 'f', 1)
                                 .arg(ms(heard.end - stoppedAt), 0, 'f', 1);
        QVERIFY2(ms(heard.end - heard.begin) < ms(written.end - written.begin) - 1000,
                 "the readout was not cut short");
        QVERIFY2(ms(heard.end - stoppedAt) <= 200, "sound went on after Stop()");
    }
};

int main(int argc, char** argv)
{
    int result = 0;
    {
        QCoreApplication app(argc, argv);
        TestRealAudio test;
        result = QTest::qExec(&test, argc, argv);
    }
    // Qt 6.4's PulseAudio engine is torn down by an exit handler that now and
    // then trips an assertion in libpulse (pa_iochannel_free) after every
    // test has run: the verdict is in, so the exit handlers are skipped.
    std::fflush(nullptr);
    std::_Exit(result);
}

#include "test_real_audio.moc"
