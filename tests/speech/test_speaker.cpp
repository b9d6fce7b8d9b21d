// FrequencySpeaker against a recording player: every sound appended in order
// and played as one stream, missing files skipped, Stop(), the bounded wait
// and the directory choice.

#include "frequency_speaker.h"
#include "pcm_convert.h"
#include "sound_player.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Takes any existing file into its stream; logs "append <path>", "play",
// "end" (playbackFinished emitted) and "stop".
class FakePlayer : public SoundPlayer {
    Q_OBJECT
public:
    enum class End { AfterDuration, InsidePlay, Never };
    End end = End::AfterDuration;
    qint64 soundMs = 5;  // length of each appended sound
    QStringList log;
    QList<QStringList> played;  // the streams play() was called for

    bool append(const QString& path) override {
        log << QStringLiteral("append ") + path;
        if (playing_ || !QFileInfo(path).isFile())
            return false;
        stream_ << path;
        return true;
    }
    void play() override {
        log << QStringLiteral("play");
        played << stream_;
        playing_ = true;
        const int token = ++token_;
        if (end == End::InsidePlay)
            reportEnd();
        else if (end == End::AfterDuration)
            QTimer::singleShot(int(durationMs()), this, [this, token] {
                if (playing_ && token == token_)
                    reportEnd();
            });
    }
    void stop() override {
        log << QStringLiteral("stop");
        playing_ = false;
        stream_.clear();
        ++token_;
    }
    qint64 durationMs() const override { return stream_.size() * soundMs; }
    bool isPlaying() const { return playing_; }

private:
    void reportEnd() {
        log << QStringLiteral("end");
        playing_ = false;
        stream_.clear();
        emit playbackFinished();
    }

    bool playing_ = false;
    int token_ = 0;
    QStringList stream_;
};

void touch(const QString& dir, const QStringList& names) {
    for (const QString& name : names) {
        QFile f(QDir(dir).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
}

}  // namespace

class TestSpeaker : public QObject {
    Q_OBJECT
private:
    QTemporaryDir cwd_;
    QString startDir_;

    // Speaks and waits (bounded) for finished(); returns how often it came.
    static int speak(FrequencySpeaker& speaker, const QString& text) {
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(text);
        if (!speaker.isSpeaking())
            return -1;
        if (!done.wait(5000))
            return 0;
        QTest::qWait(20);  // a second finished() would show here
        return int(done.count());
    }

private slots:
    void initTestCase() {
        QVERIFY(cwd_.isValid());
        startDir_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd_.path()));
        touch(cwd_.path(), FrequencySpeaker::AllSoundFileNames());
    }
    void cleanupTestCase() { QDir::setCurrent(startDir_); }

    // All sounds appended in order before one play(); a stop() first drops
    // anything left prepared; one finished().
    void speaksEveryCharacterInOneStream_data() {
        QTest::addColumn<int>("endMode");
        QTest::newRow("end reported later") << int(FakePlayer::End::AfterDuration);
        QTest::newRow("end reported inside play") << int(FakePlayer::End::InsidePlay);
    }
    void speaksEveryCharacterInOneStream() {
        QFETCH(int, endMode);
        FakePlayer player;
        player.end = FakePlayer::End(endMode);
        FrequencySpeaker speaker(&player);
        QCOMPARE(speak(speaker, QStringLiteral("14.200.00")), 1);
        QVERIFY(!speaker.isSpeaking());
        const QStringList sounds{"1.wav", "4.wav", "Point.wav", "2.wav", "0.wav",
                                 "0.wav", "Point.wav", "0.wav", "0.wav"};
        QCOMPARE(player.played, QList<QStringList>{sounds});
        QStringList expected{"stop"};
        for (const QString& name : sounds)
            expected << QStringLiteral("append ") + name;
        expected << "play" << "end" << "stop";
        QCOMPARE(player.log, expected);
        QVERIFY(!player.isPlaying());
    }

    void dropsAStreamLeftPreparedBeforeSpeaking() {
        FakePlayer player;
        QVERIFY(player.append(QStringLiteral("9.wav")));
        FrequencySpeaker speaker(&player);
        QCOMPARE(speak(speaker, QStringLiteral("3")), 1);
        QCOMPARE(player.played, (QList<QStringList>{{"3.wav"}}));
    }

    void emptyTextPlaysNothingAndFinishes() {
        FakePlayer player;
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(QString());
        // finished() comes from the event loop, never inside the call.
        QCOMPARE(done.count(), 0);
        QVERIFY(speaker.isSpeaking());
        QVERIFY(done.wait(2000));
        QVERIFY(!speaker.isSpeaking());
        QCOMPARE(player.log, QStringList{"stop"});
    }

    void missingFilesAreSkippedAndTheRestPlays() {
        QTemporaryDir sparse;
        touch(sparse.path(), {"1.wav", "0.wav"});
        QDir::setCurrent(sparse.path());
        FakePlayer player;
        FrequencySpeaker speaker(&player);
        const int finishedCount = speak(speaker, QStringLiteral("1x4.0"));
        QDir::setCurrent(cwd_.path());
        QCOMPARE(finishedCount, 1);
        QCOMPARE(player.played, (QList<QStringList>{{"1.wav", "0.wav"}}));
    }

    void allFilesMissingStillFinishes() {
        QTemporaryDir empty;
        QDir::setCurrent(empty.path());
        FakePlayer player;
        FrequencySpeaker speaker(&player);
        const int finishedCount = speak(speaker, QStringLiteral("14.2"));
        QDir::setCurrent(cwd_.path());
        QCOMPARE(finishedCount, 1);
        QVERIFY(player.played.isEmpty());
    }

    // Stop() mid-stream: the player stops, finished() comes once, before
    // Stop() returns; the next text plays to its own end.
    void stopMidwayFinishesOnceAndStopsThePlayer() {
        FakePlayer player;
        player.soundMs = 60'000;  // would hold for minutes
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(QStringLiteral("14.2"));
        QVERIFY(player.isPlaying());
        speaker.Stop();
        QCOMPARE(done.count(), 1);
        QVERIFY(!speaker.isSpeaking());
        QVERIFY(!player.isPlaying());
        QCOMPARE(player.log.last(), QStringLiteral("stop"));
        speaker.Stop();  // stopped already: nothing more
        QCOMPARE(done.count(), 1);

        player.soundMs = 20;
        player.log.clear();
        speaker.SpeakNumbers(QStringLiteral("9"));
        QVERIFY(done.wait(5000));
        QCOMPARE(done.count(), 2);
        QCOMPARE(player.log, (QStringList{"stop", "append 9.wav", "play", "end", "stop"}));
    }

    // An empty text's finish is queued; Stop() before it runs finishes at
    // once, and the queued one must neither repeat it nor end the next text
    // before that text's stream has played.
    void stopBeforeAQueuedFinishDoesNotLeakIntoTheNextText() {
        FakePlayer player;
        player.soundMs = 50;
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(QString());
        speaker.Stop();
        QCOMPARE(done.count(), 1);
        player.log.clear();
        QStringList logAtFinish;
        connect(&speaker, &FrequencySpeaker::finished, &player,
                [&] { logAtFinish = player.log; });
        speaker.SpeakNumbers(QStringLiteral("7"));
        QVERIFY(done.wait(5000));
        QCOMPARE(done.count(), 2);
        QVERIFY2(logAtFinish.contains(QStringLiteral("end")), qPrintable(logAtFinish.join(", ")));
    }

    void stopWhenIdleIsHarmless() {
        FakePlayer player;
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.Stop();
        QCOMPARE(done.count(), 0);
        QVERIFY(player.log.isEmpty());
        QVERIFY(!speaker.isSpeaking());
        QCOMPARE(speak(speaker, QStringLiteral("3")), 1);
        QCOMPARE(player.played, (QList<QStringList>{{"3.wav"}}));
    }

    // A player that never reports the end is stopped by the bounded wait,
    // not before the stream's length has passed, and a report arriving after
    // that is ignored.
    void silentPlayerIsStoppedByTheBoundedWait() {
        FakePlayer player;
        player.end = FakePlayer::End::Never;
        player.soundMs = 100;
        FrequencySpeaker speaker(&player);
        speaker.setEndMarginMs(100);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(QStringLiteral("123"));
        QCOMPARE(player.played, (QList<QStringList>{{"1.wav", "2.wav", "3.wav"}}));
        // Timers fire in deadline order: this one, at the stream's length,
        // runs before the speaker's wait (length * 1.5 + margin) is over.
        bool speakingAtLength = false;
        QTimer::singleShot(300, Qt::PreciseTimer, &player,
                           [&] { speakingAtLength = speaker.isSpeaking(); });
        QVERIFY(done.wait(5000));
        QVERIFY(speakingAtLength);
        QVERIFY(!player.isPlaying());
        QCOMPARE(player.log.last(), QStringLiteral("stop"));
        emit player.playbackFinished();  // late, after the sequence ended
        QCOMPARE(done.count(), 1);
        QVERIFY(!speaker.isSpeaking());
    }

    void secondTextWhileSpeakingIsIgnored() {
        FakePlayer player;
        player.soundMs = 20;
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(QStringLiteral("12"));
        speaker.SpeakNumbers(QStringLiteral("99"));
        QVERIFY(done.wait(3000));
        QCOMPARE(player.played, (QList<QStringList>{{"1.wav", "2.wav"}}));
        // And a new text is accepted afterwards.
        QCOMPARE(speak(speaker, QStringLiteral("9")), 1);
        QCOMPARE(done.count(), 2);
        QCOMPARE(player.played.last(), QStringList{"9.wav"});
    }

    void fallbackDirectoryOnlyWithoutSoundsHere() {
        QTemporaryDir installed;
        touch(installed.path(), FrequencySpeaker::AllSoundFileNames());
        const QString inst = QDir::cleanPath(installed.path());

        // The current directory has every sound: relative names.
        {
            FakePlayer player;
            FrequencySpeaker speaker(&player, {QStringLiteral("/nonexistent"), inst});
            QCOMPARE(speak(speaker, QStringLiteral("5")), 1);
            QCOMPARE(player.played, (QList<QStringList>{{"5.wav"}}));
        }
        // Just one sound here still counts as "sounds here"; 5.wav is silent.
        QTemporaryDir one;
        touch(one.path(), {"Point.wav"});
        QDir::setCurrent(one.path());
        {
            FakePlayer player;
            FrequencySpeaker speaker(&player, {inst});
            QCOMPARE(speak(speaker, QStringLiteral("5.")), 1);
            QCOMPARE(player.played, (QList<QStringList>{{"Point.wav"}}));
        }
        // None here: the first fallback holding sounds is used.
        QTemporaryDir empty;
        QDir::setCurrent(empty.path());
        {
            FakePlayer player;
            FrequencySpeaker speaker(&player, {QStringLiteral("/nonexistent"), inst});
            QCOMPARE(speak(speaker, QStringLiteral("5.")), 1);
            QCOMPARE(player.played, (QList<QStringList>{{inst + "/5.wav", inst + "/Point.wav"}}));
        }
        QDir::setCurrent(cwd_.path());
    }

    void pcmConversion() {
        QAudioFormat stereoFloat;
        stereoFloat.setSampleRate(44100);
        stereoFloat.setChannelCount(2);
        stereoFloat.setSampleFormat(QAudioFormat::Float);
        // Mono 22050 Hz -> stereo float at twice the rate: every frame doubled
        // in time, interpolated between, copied to both channels.
        const QByteArray out = ConvertPcm16({0, 16384, -32768}, 22050, 1, stereoFloat);
        QCOMPARE(out.size(), qsizetype(6 * 2 * sizeof(float)));
        const auto* f = reinterpret_cast<const float*>(out.constData());
        const float expected[] = {0, 0.25f, 0.5f, -0.25f, -1, -1};
        for (int i = 0; i < 6; ++i) {
            QVERIFY2(qAbs(f[2 * i] - expected[i]) < 1e-3, qPrintable(QString::number(i)));
            QCOMPARE(f[2 * i + 1], f[2 * i]);
        }

        QAudioFormat mono16;
        mono16.setSampleRate(8000);
        mono16.setChannelCount(1);
        mono16.setSampleFormat(QAudioFormat::Int16);
        // Stereo -> mono averages; 16 kHz -> 8 kHz keeps every second frame.
        const QByteArray down =
            ConvertPcm16({1000, 3000, 500, 500, -2000, 0, 7, 7}, 16000, 2, mono16);
        QCOMPARE(down.size(), qsizetype(2 * sizeof(qint16)));
        const auto* s = reinterpret_cast<const qint16*>(down.constData());
        QCOMPARE(s[0], qint16(2000));
        QCOMPARE(s[1], qint16(-1000));

        QAudioFormat u8 = mono16;
        u8.setSampleFormat(QAudioFormat::UInt8);
        u8.setSampleRate(16000);
        const QByteArray bytes = ConvertPcm16({-32768, 0, 32767}, 16000, 1, u8);
        QCOMPARE(bytes, QByteArray("\x01\x80\xff", 3));
        QVERIFY(ConvertPcm16({}, 16000, 1, u8).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSpeaker)
#include "test_speaker.moc"
