// FrequencySpeaker against a recording player: order of files, silence for
// missing ones, closing, the bounded wait and the directory choice.

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

// Opens any existing file; logs "open <path>", "play <path>", "close".
class FakePlayer : public SoundPlayer {
    Q_OBJECT
public:
    enum class End { AfterDuration, InsidePlay, Never };
    End end = End::AfterDuration;
    qint64 duration = 5;
    QStringList log;
    QStringList played;

    bool open(const QString& path) override {
        if (open_)
            log << QStringLiteral("open while open");
        log << QStringLiteral("open ") + path;
        open_ = QFileInfo(path).isFile();
        path_ = open_ ? path : QString();
        return open_;
    }
    void play() override {
        played << path_;
        log << QStringLiteral("play ") + path_;
        const int token = ++token_;
        if (end == End::InsidePlay)
            emit playbackFinished();
        else if (end == End::AfterDuration)
            QTimer::singleShot(int(duration), this, [this, token] {
                if (open_ && token == token_)
                    emit playbackFinished();
            });
    }
    void close() override {
        log << QStringLiteral("close");
        open_ = false;
        ++token_;
    }
    bool isOpen() const override { return open_; }
    qint64 durationMs() const override { return open_ ? duration : 0; }

private:
    bool open_ = false;
    int token_ = 0;
    QString path_;
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

    // Order, close before each open, one close at the end, one finished().
    void speaksEveryCharacterInOrder_data() {
        QTest::addColumn<int>("endMode");
        QTest::newRow("end reported later") << int(FakePlayer::End::AfterDuration);
        QTest::newRow("end reported inside play") << int(FakePlayer::End::InsidePlay);
    }
    void speaksEveryCharacterInOrder() {
        QFETCH(int, endMode);
        FakePlayer player;
        player.end = FakePlayer::End(endMode);
        FrequencySpeaker speaker(&player);
        QCOMPARE(speak(speaker, QStringLiteral("14.200.00")), 1);
        QVERIFY(!speaker.isSpeaking());
        QCOMPARE(player.played, (QStringList{"1.wav", "4.wav", "Point.wav", "2.wav", "0.wav",
                                             "0.wav", "Point.wav", "0.wav", "0.wav"}));
        QVERIFY(!player.log.contains(QStringLiteral("open while open")));
        QCOMPARE(player.log.mid(0, 5), (QStringList{"open 1.wav", "play 1.wav", "close",
                                                    "open 4.wav", "play 4.wav"}));
        QCOMPARE(player.log.count(QStringLiteral("close")), 9);
        QCOMPARE(player.log.last(), QStringLiteral("close"));
        QVERIFY(!player.isOpen());
    }

    void closesADeviceLeftOpenBeforeSpeaking() {
        FakePlayer player;
        QVERIFY(player.open(QStringLiteral("9.wav")));
        player.log.clear();
        FrequencySpeaker speaker(&player);
        QCOMPARE(speak(speaker, QStringLiteral("3")), 1);
        QCOMPARE(player.log, (QStringList{"close", "open 3.wav", "play 3.wav", "close"}));
    }

    void emptyTextPlaysNothingButClosesAndFinishes() {
        FakePlayer player;
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(QString());
        // finished() comes from the event loop, never inside the call.
        QCOMPARE(done.count(), 0);
        QVERIFY(speaker.isSpeaking());
        QVERIFY(done.wait(2000));
        QVERIFY(!speaker.isSpeaking());
        QCOMPARE(player.log, QStringList{"close"});
    }

    void missingFilesAreSilentAndTheSequenceGoesOn() {
        QTemporaryDir sparse;
        touch(sparse.path(), {"1.wav", "0.wav"});
        QDir::setCurrent(sparse.path());
        FakePlayer player;
        FrequencySpeaker speaker(&player);
        const int finishedCount = speak(speaker, QStringLiteral("1x4.0"));
        QDir::setCurrent(cwd_.path());
        QCOMPARE(finishedCount, 1);
        QCOMPARE(player.played, (QStringList{"1.wav", "0.wav"}));
        QCOMPARE(player.log, (QStringList{"open 1.wav", "play 1.wav", "close", "open x.wav",
                                          "open 4.wav", "open Point.wav", "open 0.wav",
                                          "play 0.wav", "close"}));
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

    // A player that never reports the end is moved on after duration + margin,
    // and a report arriving after that does not skip the next sound.
    void silentPlayerIsMovedOnByTheBoundedWait() {
        FakePlayer player;
        player.end = FakePlayer::End::Never;
        player.duration = 100;
        FrequencySpeaker speaker(&player);
        speaker.setEndMarginMs(100);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        QElapsedTimer clock;
        clock.start();
        speaker.SpeakNumbers(QStringLiteral("123"));
        QTRY_COMPARE_WITH_TIMEOUT(player.played.size(), 1, 1000);
        // Not moved on before the sound could have ended.
        QTest::qWait(50);
        QCOMPARE(player.played.size(), 1);
        QVERIFY(done.wait(5000));
        QCOMPARE(player.played, (QStringList{"1.wav", "2.wav", "3.wav"}));
        QVERIFY(clock.elapsed() >= 3 * 200);
        emit player.playbackFinished();  // late, after the sequence ended
        QTest::qWait(20);
        QCOMPARE(done.count(), 1);
    }

    void secondTextWhileSpeakingIsIgnored() {
        FakePlayer player;
        player.duration = 20;
        FrequencySpeaker speaker(&player);
        QSignalSpy done(&speaker, &FrequencySpeaker::finished);
        speaker.SpeakNumbers(QStringLiteral("12"));
        speaker.SpeakNumbers(QStringLiteral("99"));
        QVERIFY(done.wait(3000));
        QTest::qWait(60);
        QCOMPARE(done.count(), 1);
        QCOMPARE(player.played, (QStringList{"1.wav", "2.wav"}));
        // And a new text is accepted afterwards.
        QCOMPARE(speak(speaker, QStringLiteral("9")), 1);
        QCOMPARE(player.played.last(), QStringLiteral("9.wav"));
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
            QCOMPARE(player.played, QStringList{"5.wav"});
        }
        // Just one sound here still counts as "sounds here"; 5.wav is silent.
        QTemporaryDir one;
        touch(one.path(), {"Point.wav"});
        QDir::setCurrent(one.path());
        {
            FakePlayer player;
            FrequencySpeaker speaker(&player, {inst});
            QCOMPARE(speak(speaker, QStringLiteral("5.")), 1);
            QCOMPARE(player.played, QStringList{"Point.wav"});
        }
        // None here: the first fallback holding sounds is used.
        QTemporaryDir empty;
        QDir::setCurrent(empty.path());
        {
            FakePlayer player;
            FrequencySpeaker speaker(&player, {QStringLiteral("/nonexistent"), inst});
            QCOMPARE(speak(speaker, QStringLiteral("5.")), 1);
            QCOMPARE(player.played, (QStringList{inst + "/5.wav", inst + "/Point.wav"}));
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
