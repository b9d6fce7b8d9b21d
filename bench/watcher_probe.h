#pragma once
// How late the log watcher stamps a line on this machine, under the load of
// the measurement it runs beside: a thread appends a line to a file of its
// own every 20 ms, flushing it as the simulator does, and takes the time from
// just before the write to the watcher's stamp.

#include <atomic>
#include <thread>
#include <vector>

class WatcherProbe {
public:
    WatcherProbe() = default;
    ~WatcherProbe() { stop(); }
    WatcherProbe(const WatcherProbe&) = delete;
    WatcherProbe& operator=(const WatcherProbe&) = delete;

    void start();
    // The delays in ms; empty if the file could not be written or watched.
    std::vector<double> stop();

private:
    void run();

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::vector<double> delaysMs_;
};
