#include "frequency_speaker.h"

#include "sound_player.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

FrequencySpeaker::FrequencySpeaker(SoundPlayer* player, QStringList fallbackDirs,
                                   QObject* parent)
    : QObject(parent), player_(player), fallbackDirs_(std::move(fallbackDirs)) {
    endGuard_.setSingleShot(true);
    endGuard_.setTimerType(Qt::PreciseTimer);
    connect(&endGuard_, &QTimer::timeout, this, &FrequencySpeaker::streamEnded);
    connect(player_, &SoundPlayer::playbackFinished, this, &FrequencySpeaker::streamEnded);
}

QString FrequencySpeaker::SoundFileName(QChar c) {
    const QString name = QString(c) + QStringLiteral(".wav");
    return name == QStringLiteral("..wav") ? QStringLiteral("Point.wav") : name;
}

QStringList FrequencySpeaker::AllSoundFileNames() {
    QStringList names;
    for (char d = '0'; d <= '9'; ++d)
        names << SoundFileName(QChar(d));
    names << SoundFileName(QChar('.'));
    return names;
}

static bool holdsSoundFile(const QDir& dir) {
    for (const QString& name : FrequencySpeaker::AllSoundFileNames())
        if (QFileInfo::exists(dir.filePath(name)))
            return true;
    return false;
}

QString FrequencySpeaker::SoundDirectory() const {
    if (holdsSoundFile(QDir::current()))
        return {};
    for (const QString& dir : fallbackDirs_)
        if (!dir.isEmpty() && holdsSoundFile(QDir(dir)))
            return QDir::cleanPath(dir);
    return {};
}

void FrequencySpeaker::SpeakNumbers(const QString& spokenText) {
    if (speaking_)
        return;
    speaking_ = true;
    ++textNumber_;
    player_->stop();  // drops anything a previous user left prepared
    const QString dir = SoundDirectory();
    bool any = false;
    for (QChar c : spokenText) {
        const QString name = SoundFileName(c);
        any = player_->append(dir.isEmpty() ? name : dir + QLatin1Char('/') + name) || any;
    }
    if (!any) {
        finishLater();
        return;
    }
    const qint64 lengthMs = std::clamp<qint64>(player_->durationMs(), 0, 3'600'000);
    waitingForEnd_ = true;
    endGuard_.start(int(lengthMs + lengthMs / 2) + endMarginMs_);
    player_->play();
}

void FrequencySpeaker::Stop() {
    if (!speaking_)
        return;
    waitingForEnd_ = false;
    endGuard_.stop();
    player_->stop();
    finish();
}

void FrequencySpeaker::streamEnded() {
    if (!waitingForEnd_)
        return;  // a late report for a stream already given up on or stopped
    waitingForEnd_ = false;
    endGuard_.stop();
    player_->stop();
    // Queued: a player may report the end from inside play().
    finishLater();
}

void FrequencySpeaker::finishLater() {
    QMetaObject::invokeMethod(
        this, [this, text = textNumber_] {
            if (text == textNumber_)
                finish();
        },
        Qt::QueuedConnection);
}

void FrequencySpeaker::finish() {
    if (!speaking_)
        return;
    speaking_ = false;
    emit finished();
}
