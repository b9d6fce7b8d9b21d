#pragma once
// Speaks a text character by character: "14.200" plays 1.wav, 4.wav,
// Point.wav, 2.wav, 0.wav, 0.wav, each to its end before the next.
//
// The sequence runs from the event loop: SpeakNumbers() starts it and
// returns, finished() is emitted (always after SpeakNumbers() has returned)
// when the last sound has played and the player is closed. isSpeaking() is
// true from the call until finished(). A character whose file cannot be
// opened is silent. If the player never reports the end of a sound, the
// sequence moves on after the sound's duration plus a margin.

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
    bool isSpeaking() const { return speaking_; }

    // Extra wait past a sound's duration before giving up on its end; it
    // covers the device's start-up (up to a second for a first stream) and
    // the player's tail. 2000 ms by default.
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
    void playNext();
    void soundEnded();
    void finish();

    SoundPlayer* player_;
    QStringList fallbackDirs_;
    QString text_;
    QString dir_;
    qsizetype next_ = 0;
    bool speaking_ = false;
    bool waitingForEnd_ = false;
    int endMarginMs_ = 2000;
    QTimer endGuard_;
};
