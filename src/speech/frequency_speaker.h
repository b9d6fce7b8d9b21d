#pragma once
// Speaks a text character by character: "14.200" plays 1.wav, 4.wav,
// Point.wav, 2.wav, 0.wav, 0.wav. All the sounds are decoded first and then
// played as one stream, each to its end before the next, with nothing added
// between them.
//
// SpeakNumbers() starts it and returns; finished() is emitted once per text
// (always after SpeakNumbers() has returned) when the stream has played or
// Stop() cut it short. isSpeaking() is true from the call until finished().
// A character whose file cannot be decoded is skipped. If the player never
// reports the end, the speaker gives up after the stream's length, half of
// it again, and a margin.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class SoundPlayer;

class FrequencySpeaker : public QObject {
    Q_OBJECT
public:
    // The player is not owned and must outlive the speaker. fallbackDirs
    // are searched, in order, when the current directory holds none of the
    // sound files (0.wav .. 9.wav, Point.wav).
    explicit FrequencySpeaker(SoundPlayer* player, QStringList fallbackDirs = {},
                              QObject* parent = nullptr);

    // Ignored while a text is being spoken.
    void SpeakNumbers(const QString& spokenText);
    // Stops speaking at once: the player stops, finished() is emitted before
    // this returns, and isSpeaking() is false. Does nothing when idle.
    void Stop();
    bool isSpeaking() const { return speaking_; }

    // The fixed part of the wait past a stream's length before giving up on
    // its end; 3000 ms by default, past the player's own deadline.
    void setEndMarginMs(int ms) { endMarginMs_ = ms; }

    // "<c>.wav", except "Point.wav" for '.'.
    static QString SoundFileName(QChar c);
    // The names of the sound files, for install rules and the directory check.
    static QStringList AllSoundFileNames();
    // "" (relative names, current directory) when the current directory holds
    // a sound file, else the first fallback directory that does, else "".
    QString SoundDirectory() const;

signals:
    void finished();

private:
    void streamEnded();
    void finishLater();
    void finish();

    SoundPlayer* player_;
    QStringList fallbackDirs_;
    bool speaking_ = false;
    bool waitingForEnd_ = false;
    // Tells a queued finish() which text it belongs to, so one left over
    // from a stopped text cannot end the next.
    quint64 textNumber_ = 0;
    int endMarginMs_ = 3000;
    QTimer endGuard_;
};
