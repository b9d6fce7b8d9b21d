// Speaks "14.200.00" through QtSoundPlayer into a PulseAudio null sink while
// parecord records its monitor, then checks the recording: nine sounds in
// the right order, each ending exactly where its file's sound ends (nothing
// cut from the tail), each voiced part nearly whole.
// Needs a reachable PulseAudio server (scripts/with-pulseaudio.sh provides
// one); skipped otherwise.

#include "frequency_speaker.h"
#include "qt_sound_player.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kRate = 22050;        // the sounds' rate; the recording is made at it
constexpr int kThreshold = 1000;    // of 32767: well above resampling noise
constexpr int kSplitGapMs = 150;    // silence that separates two sounds
// A stream joining a running null sink makes the sink rewind; the monitor
// has already passed on silence for that stretch, so up to ~20 ms of a
// sound's start is missing from the recording though it was played.
constexpr double kStartLossMs = 30;
constexpr double kEndSlackMs = 3;   // the end must match to within this

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

// Runs of loud samples, merged across silences shorter than splitGap samples.
std::vector<Span> bursts(const std::vector<int>& s, qint64 splitGap) {
    std::vector<Span> out;
    for (qint64 i = 0; i < qint64(s.size()); ++i) {
        if (std::abs(s[i]) < kThreshold)
            continue;
        if (!out.empty() && i - out.back().end < splitGap)
            out.back().end = i + 1;
        else
            out.push_back({i, i + 1});
    }
    return out;
}

double ms(qint64 samples) { return samples * 1000.0 / kRate; }

// The offset (recording index minus file index) in [lo, hi] at which the
// file's middle 100 ms best matches the recording, by normalised correlation.
qint64 align(const std::vector<int>& rec, const std::vector<int>& file, Span voiced,
             qint64 lo, qint64 hi) {
    const qint64 len = kRate / 10;
    const qint64 from = std::max<qint64>(voiced.begin, (voiced.begin + voiced.end - len) / 2);
    double bestScore = -2;
    qint64 best = lo;
    for (qint64 lag = lo; lag <= hi; ++lag) {
        if (from + lag < 0 || from + len + lag > qint64(rec.size()))
            continue;
        double dot = 0, energy = 1;
        for (qint64 k = from; k < from + len; ++k) {
            dot += double(file[k]) * rec[k + lag];
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

}  // namespace

class TestRealAudio : public QObject {
    Q_OBJECT
private slots:
    // Decoding needs no audio device: formats other than the sounds' own
    // open with their true length; missing and undecodable files do not.
    void opensAnyPcmWav() {
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
        QVERIFY(player.open(stereo24));
        QVERIFY(player.isOpen());
        QCOMPARE(player.durationMs(), qint64(250));
        QVERIFY(!player.open(junk.fileName()));
        QVERIFY(!player.isOpen());
        QCOMPARE(player.durationMs(), qint64(0));
        QVERIFY(!player.open(tmp.filePath(QStringLiteral("missing.wav"))));
        QVERIFY(player.open(QStringLiteral(SOLVANE_SOUNDS_DIR "/0.wav")));
        player.close();
        QVERIFY(!player.isOpen());
        player.close();  // closing twice is harmless
    }

    // Without any audio output every sound ends at once: the readout runs
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
        QElapsedTimer clock;
        clock.start();
        speaker.SpeakNumbers(QStringLiteral("14.2"));
        const bool finished = done.wait(5000);
        QDir::setCurrent(startDir);
        QVERIFY(finished);
        // Reported by the player, not left to the speaker's bounded wait.
        QCOMPARE(ended.count(), 4);
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(!player.isOpen());
    }

    void speaksFrequencyIntoNullSink() {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER") &&
            qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            QSKIP("no PulseAudio server (PULSE_SERVER and XDG_RUNTIME_DIR unset); "
                  "run under scripts/with-pulseaudio.sh");
        bool reachable = false;
        run(QStringLiteral("pactl"), {QStringLiteral("info")}, &reachable);
        if (!reachable)
            QSKIP("no PulseAudio server reachable (pactl info failed); "
                  "run under scripts/with-pulseaudio.sh");

        // From here on a server is there, so anything missing is a failure.
        QVERIFY2(!QMediaDevices::audioOutputs().isEmpty(),
                 "PulseAudio is running but Qt sees no audio output");
        QString sink = qEnvironmentVariable("SOLVANE_TEST_SINK");
        if (sink.isEmpty())
            sink = run(QStringLiteral("pactl"), {QStringLiteral("get-default-sink")});
        QVERIFY(!sink.isEmpty());

        const QString text = QStringLiteral("14.200.00");
        const QDir sounds(QStringLiteral(SOLVANE_SOUNDS_DIR));
        std::vector<std::vector<int>> files;
        std::vector<Span> voiced;  // first to last loud sample of each file
        for (QChar c : text) {
            const QString name = FrequencySpeaker::SoundFileName(c);
            files.push_back(readMono(sounds.filePath(name)));
            const std::vector<Span> b = bursts(files.back(), qint64(files.back().size()) + 1);
            QVERIFY2(b.size() == 1 && ms(b[0].end - b[0].begin) > 150,
                     qPrintable(name + QStringLiteral(": not a 22050 Hz sound")));
            voiced.push_back(b[0]);
        }

        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString recording = tmp.filePath(QStringLiteral("out.wav"));
        QProcess recorder;
        // A short latency: with the default, whole sounds went missing.
        recorder.start(QStringLiteral("parecord"),
                       {QStringLiteral("-d"), sink + QStringLiteral(".monitor"),
                        QStringLiteral("--latency-msec=20"), QStringLiteral("--file-format=wav"),
                        QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--channels=1"),
                        QStringLiteral("--format=s16le"), recording});
        QVERIFY2(recorder.waitForStarted(5000), "parecord did not start");
        // Recording has begun once its stream is attached to the monitor.
        QTRY_VERIFY_WITH_TIMEOUT(
            !run(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"),
                                           QStringLiteral("source-outputs")})
                 .isEmpty(),
            5000);
        // The first playback stream after a recorder attaches starts about a
        // second late here; 0.2 s of silence takes that hit before we speak.
        QProcess warmUp;
        warmUp.start(QStringLiteral("pacat"), {QStringLiteral("--rate=44100"),
                                                QStringLiteral("--channels=2"),
                                                QStringLiteral("--format=s16le")});
        QVERIFY2(warmUp.waitForStarted(5000), "pacat did not start");
        warmUp.write(QByteArray(44100 / 5 * 4, '\0'));
        warmUp.closeWriteChannel();
        QVERIFY(warmUp.waitForFinished(5000));
        QTest::qWait(200);

        QtSoundPlayer player;
        const QString startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(sounds.path()));
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        QElapsedTimer clock;
        clock.start();
        speaker.SpeakNumbers(text);
        const bool finished = done.wait(15000);
        const qint64 speakingMs = clock.elapsed();
        QDir::setCurrent(startDir);
        QTest::qWait(300);
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(5000));
        QVERIFY2(finished, "speaking did not finish");
        QVERIFY(!player.isOpen());

        const std::vector<int> rec = readMono(recording);
        QVERIFY2(!rec.empty(), "recording unreadable, empty or not at 22050 Hz");
        const std::vector<Span> found = bursts(rec, qint64(kRate) * kSplitGapMs / 1000);

        // Where each file lines up in the recording: how much is missing at
        // its start and at its end.
        QString table;
        std::vector<double> startLoss, endLoss;
        double sumFound = 0, sumVoiced = 0;
        for (std::size_t i = 0; i < found.size() && i < voiced.size(); ++i) {
            const qint64 byEnd = found[i].end - voiced[i].end;
            const qint64 byStart = found[i].begin - voiced[i].begin;
            const qint64 slack = kRate / 20;
            const qint64 lag = align(rec, files[i], voiced[i], std::min(byEnd, byStart) - slack,
                                     std::max(byEnd, byStart) + slack);
            startLoss.push_back(ms(found[i].begin - (voiced[i].begin + lag)));
            endLoss.push_back(ms(voiced[i].end + lag - found[i].end));
            sumFound += ms(found[i].end - found[i].begin);
            sumVoiced += ms(voiced[i].end - voiced[i].begin);
            table += QStringLiteral("  at %1 ms: %2 ms of %3 ms, start %4 ms late, end %5 ms early\n")
                         .arg(qRound(ms(found[i].begin)), 5)
                         .arg(ms(found[i].end - found[i].begin), 0, 'f', 1)
                         .arg(ms(voiced[i].end - voiced[i].begin), 0, 'f', 1)
                         .arg(startLoss.back(), 0, 'f', 1)
                         .arg(endLoss.back(), 0, 'f', 1);
        }
        qInfo().noquote() << "speaking took" << speakingMs << "ms; sounds recorded:\n" + table;

        QCOMPARE(found.size(), voiced.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            const QString which = QStringLiteral("sound %1 (%2)").arg(i + 1).arg(text.at(i));
            // Played to its last sample: the recording's sound ends where the file's does.
            QVERIFY2(std::abs(endLoss[i]) <= kEndSlackMs,
                     qPrintable(which + QStringLiteral(": ends %1 ms early").arg(endLoss[i])));
            QVERIFY2(startLoss[i] >= -kEndSlackMs && startLoss[i] <= kStartLossMs,
                     qPrintable(which + QStringLiteral(": starts %1 ms late").arg(startLoss[i])));
        }
        QVERIFY2(sumFound >= sumVoiced * 0.95 && sumFound <= sumVoiced * 1.01,
                 qPrintable(QStringLiteral("%1 ms of sound, the files hold %2 ms")
                                .arg(sumFound).arg(sumVoiced)));
    }
};

QTEST_GUILESS_MAIN(TestRealAudio)
#include "test_real_audio.moc"
