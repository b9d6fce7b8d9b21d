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
    connect(&endGuard_, &QTimer::timeout, this, &FrequencySpeaker::soundEnded);
    connect(player_, &SoundPlayer::playbackFinished, this, &FrequencySpeaker::soundEnded);
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
    text_ = spokenText;
    next_ = 0;
    dir_ = SoundDirectory();
    playNext();
}

void FrequencySpeaker::playNext() {
    // Characters whose file will not open are skipped here in a loop, so a
    // long run of them neither recurses nor waits.
    while (next_ < text_.size()) {
        const QString name = SoundFileName(text_.at(next_++));
        const QString path = dir_.isEmpty() ? name : dir_ + QLatin1Char('/') + name;
        if (player_->isOpen())
            player_->close();
        if (!player_->open(path))
            continue;
        waitingForEnd_ = true;
        endGuard_.start(int(std::clamp<qint64>(player_->durationMs(), 0, 3'600'000)) + endMarginMs_);
        player_->play();
        return;
    }
    player_->close();
    // Queued so finished() never reaches the caller inside SpeakNumbers().
    QMetaObject::invokeMethod(this, &FrequencySpeaker::finish, Qt::QueuedConnection);
}

void FrequencySpeaker::soundEnded() {
    if (!waitingForEnd_)
        return;  // a late report for a sound already given up on
    waitingForEnd_ = false;
    endGuard_.stop();
    // Queued: a player may report the end from inside play().
    QMetaObject::invokeMethod(this, &FrequencySpeaker::playNext, Qt::QueuedConnection);
}

void FrequencySpeaker::finish() {
    speaking_ = false;
    text_.clear();
    emit finished();
}
