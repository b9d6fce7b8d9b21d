#include "sim_process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>

SimProcess::~SimProcess() { stop(); }

QString SimProcess::program()
{
    const QString fromEnv = qEnvironmentVariable("SOLVANE_SIM_PATH");
    return fromEnv.isEmpty() ? QStringLiteral(SOLVANE_SIM_PATH) : fromEnv;
}

bool SimProcess::startWithLink(const QStringList& args)
{
    return start(QStringList(args) << QStringLiteral("--link") << QString());
}

bool SimProcess::start(const QStringList& givenArgs)
{
    stop();
    dir_ = std::make_unique<QTemporaryDir>();
    if (!dir_->isValid())
        return false;
    logPath_ = QDir(dir_->path()).filePath(QStringLiteral("commands.log"));
    device_.clear();
    linkPath_.clear();
    pending_.clear();

    // The last --link wins, as in the simulator; an empty one (from
    // startWithLink) becomes a path in the temporary directory.
    QStringList args = givenArgs;
    const qsizetype link = args.lastIndexOf(QStringLiteral("--link"));
    if (link >= 0 && link + 1 < args.size()) {
        if (args[link + 1].isEmpty())
            args[link + 1] = QDir(dir_->path()).filePath(QStringLiteral("ft847"));
        linkPath_ = args[link + 1];
    }

    process_ = std::make_unique<QProcess>();
    process_->setReadChannel(QProcess::StandardOutput);
    // stdout carries the device line and control answers; warnings go to the test's stderr.
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(program(), QStringList(args) << QStringLiteral("--log") << logPath_);
    if (!process_->waitForStarted(5000)) {
        qWarning("SimProcess: cannot start %s: %s", qPrintable(program()), qPrintable(process_->errorString()));
        process_.reset();
        return false;
    }
    QByteArray line;
    if (!readLine(line, 5000) || !line.startsWith("DEVICE ")) {
        qWarning("SimProcess: no device line from the simulator (got \"%s\")", line.constData());
        stop();
        return false;
    }
    device_ = QString::fromLocal8Bit(line.mid(7));
    return true;
}

bool SimProcess::isRunning() const { return process_ && process_->state() == QProcess::Running; }

bool SimProcess::readLine(QByteArray& line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        pending_ += process_->readAllStandardOutput();
        const qsizetype end = pending_.indexOf('\n');
        if (end >= 0) {
            line = pending_.left(end);
            pending_.remove(0, end + 1);
            return true;
        }
        if (deadline.hasExpired() || process_->state() != QProcess::Running)
            return false;
        process_->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
}

namespace {
const QLatin1String StatePrefix("STATE ");
}

QStringList SimProcess::logLines() const
{
    QFile file(logPath_);
    if (logPath_.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    // Only whole lines: the simulator may be half way through writing one.
    const QByteArray text = file.readAll();
    const qsizetype complete = text.lastIndexOf('\n') + 1;
    for (const QByteArray& line : text.left(complete).split('\n'))
        if (!line.isEmpty())
            lines << QString::fromLatin1(line);
    return lines;
}

QStringList SimProcess::loggedCommands() const
{
    QStringList lines = logLines();
    lines.removeIf([](const QString& line) { return line.startsWith(StatePrefix); });
    return lines;
}

QStringList SimProcess::loggedStates() const
{
    QStringList states;
    for (const QString& line : logLines())
        if (line.startsWith(StatePrefix))
            states << line.mid(StatePrefix.size());
    return states;
}

int SimProcess::countLogLines(QLatin1String prefix) const
{
    const QStringList lines = loggedCommands();
    return int(std::count_if(lines.begin(), lines.end(), [&](const QString& line) { return line.startsWith(prefix); }));
}

int SimProcess::loggedOverlaps() const { return countLogLines(QLatin1String("OVERLAP ")); }

int SimProcess::loggedPartials() const { return countLogLines(QLatin1String("PARTIAL ")); }

bool SimProcess::waitForLogLines(int n, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (loggedCommands().size() < n) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

bool SimProcess::send(const QString& line)
{
    if (!isRunning())
        return false;
    process_->write(line.toLocal8Bit() + '\n');
    process_->waitForBytesWritten(2000);
    if (line.trimmed() == QLatin1String("quit")) {
        process_->waitForFinished(3000);
        return true;
    }
    QByteArray answer;
    do {
        if (!readLine(answer, 3000))
            return false;
        if (answer.startsWith("DEVICE "))
            device_ = QString::fromLocal8Bit(answer.mid(7));
    } while (answer.startsWith("DEVICE "));
    if (!answer.startsWith("OK ")) {
        qWarning("SimProcess: simulator refused \"%s\": %s", qPrintable(line), answer.constData());
        return false;
    }
    if (line.trimmed() == QLatin1String("unplug"))
        device_.clear();
    return true;
}

bool SimProcess::unplug() { return send(QStringLiteral("unplug")); }

bool SimProcess::replug()
{
    return send(QStringLiteral("replug")) && !device_.isEmpty();
}

void SimProcess::stop()
{
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    process_.reset();
}
