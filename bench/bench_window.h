#pragma once
// The real main window for the benchmark's window tables: its parts with
// no sound and no messages, port 2 mapped to a simulator, and a way to let
// it run without the benchmark waking it.

#include "main_window.h"
#include "qt_serial_port.h"
#include "settings_store.h"
#include "sound_player.h"
#include "user_messages.h"

#include <memory>

class NoPlayer final : public SoundPlayer {
public:
    bool append(const QString&) override { return false; }
    void play() override {}
    void stop() override {}
    qint64 durationMs() const override { return 0; }
};

class NoMessages final : public UserMessages {
public:
    void showPortNotAvailable(const QString&) override {}
};

// Port 2 on `device`, at the simulator's rate so the quiet gap matches it.
void MapPort(const QString& device, int baud = 57600);

struct BenchWindow {
    QtSerialPort port;
    QtSettingsStore store;
    NoMessages messages;
    NoPlayer player;
    std::unique_ptr<MainWindow> window;

    void start();
    void waitIdle();
};

// Lets the program run for `ms` without the benchmark waking it: QTest::qWait
// slices its wait into 10 ms steps, which would be counted as Solvane's CPU.
void RunFor(int ms);

// This process's CPU time (user and system) and voluntary context switches,
// all threads.
double CpuSeconds();
long VoluntarySwitches();
