#pragma once
// The real main window on a real QSerialPort, talking over a pty to the
// project's FT-847 simulator, with the settings in a temporary directory.

#include "counting_messages.h"
#include "main_window.h"
#include "qt_serial_port.h"
#include "settings_store.h"
#include "sim_process.h"
#include "silent_player.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSettings>
#include <QTest>

#include <memory>


// XDG_CONFIG_HOME must point at a temporary directory before the first
// QSettings is made; each test's main() does that through this.
void UseTemporaryConfigHome();
QString ConfigFilePath();
// Rewrites the store: port n maps to `device`, plus any stored settings.
void WriteStore(const QMap<QString, QString>& values);
QMap<QString, QString> ReadStoreFromDisk();

// The settings dialog once it is on screen, or null after `timeoutMs`.
SettingsDialog* waitForDialog(MainWindow& window, int timeoutMs = 2000);

struct WindowRig {
    SimProcess sim;
    QtSerialPort port;
    QtSettingsStore store;
    CountingMessages messages;
    SilentPlayer player;
    std::unique_ptr<MainWindow> window;

    // Starts the simulator with `simArgs`, maps port 2 to it and loads the
    // window. False when the simulator did not come up.
    bool start(const QStringList& simArgs = {}, const QString& memoryFile = QString());
    // The same with port 2 mapped to the simulator's stable link path, which
    // survives an unplug and replug as a /dev/serial/by-id path does.
    bool startLinked(const QStringList& simArgs = {});
    // Makes and loads the window on whatever the store holds now.
    void load();
    // Waits until the display shows a reading from the radio.
    bool waitForReading(int timeoutMs = 3000);
    // Commands the simulator logged since `from`.
    QStringList commandsSince(int from) const;
    // Waits until the simulator has logged `n` more frequency reads than now.
    bool waitForPolls(int n, int timeoutMs = 5000);
    // Waits until the poll timer has fired `n` more times.
    bool waitForTicks(int n, int timeoutMs = 5000);
    // Closes the window and waits for the shutdown to run to its end and
    // the window to be gone from the screen.
    bool shutDown(int timeoutMs = 5000);
};
