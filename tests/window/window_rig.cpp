#include "window_rig.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
QTemporaryDir* configHome = nullptr;
}

void UseTemporaryConfigHome()
{
    configHome = new QTemporaryDir();
    qputenv("XDG_CONFIG_HOME", configHome->path().toLocal8Bit());
}

QString ConfigFilePath() { return QDir(configHome->path()).filePath(QStringLiteral("Solvane.conf")); }

void WriteStore(const QMap<QString, QString>& values)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Solvane"));
    settings.clear();
    for (auto it = values.begin(); it != values.end(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

QMap<QString, QString> ReadStoreFromDisk()
{
    // A fresh reader of the file, not the process's cached view.
    QSettings settings(ConfigFilePath(), QSettings::IniFormat);
    QMap<QString, QString> values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key).toString());
    return values;
}

bool WindowRig::start(const QStringList& simArgs, const QString& memoryFile)
{
    if (!sim.start(simArgs))
        return false;
    WriteStore({{QStringLiteral("Ports/COM2"), sim.device()}});
    MainWindowParts parts{port, store, messages, player, QString()};
    if (!memoryFile.isEmpty())
        parts.memoryFile = memoryFile;
    window = std::make_unique<MainWindow>(parts);
    window->show();
    window->Form_Load();
    return true;
}

bool WindowRig::startLinked(const QStringList& simArgs)
{
    if (!sim.startWithLink(simArgs))
        return false;
    WriteStore({{QStringLiteral("Ports/COM2"), sim.linkPath()}});
    load();
    return true;
}

void WindowRig::load()
{
    window = std::make_unique<MainWindow>(MainWindowParts{port, store, messages, player, QString()});
    window->show();
    window->Form_Load();
}

bool WindowRig::waitForReading(int timeoutMs)
{
    return QTest::qWaitFor([&] { return window->HaveFrequency(); }, timeoutMs);
}

QStringList WindowRig::commandsSince(int from) const { return sim.loggedCommands().mid(from); }

bool WindowRig::waitForPolls(int n, int timeoutMs)
{
    const QString read = QStringLiteral("00 00 00 00 03");
    const qsizetype target = sim.loggedCommands().count(read) + n;
    return QTest::qWaitFor([&] { return sim.loggedCommands().count(read) >= target; }, timeoutMs);
}

bool WindowRig::waitForTicks(int n, int timeoutMs)
{
    QSignalSpy ticks(&window->Timer1(), &QTimer::timeout);
    return QTest::qWaitFor([&] { return ticks.count() >= n; }, timeoutMs);
}

bool WindowRig::shutDown(int timeoutMs)
{
    window->close();
    return QTest::qWaitFor([&] { return window->Unloaded() && !window->isVisible(); }, timeoutMs);
}

SettingsDialog* waitForDialog(MainWindow& window, int timeoutMs)
{
    QTest::qWaitFor([&] { return window.Form2() && window.Form2()->isVisible(); }, timeoutMs);
    return window.Form2();
}
