#include "watcher_probe.h"

#include "log_watcher.h"

#include <QTemporaryDir>

#include <cstdio>

void WatcherProbe::start()
{
    if (running_.exchange(true))
        return;
    delaysMs_.clear();
    thread_ = std::thread([this] { run(); });
}

std::vector<double> WatcherProbe::stop()
{
    running_ = false;
    if (thread_.joinable())
        thread_.join();
    return delaysMs_;
}

void WatcherProbe::run()
{
    using namespace std::chrono_literals;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("probe.log")).toStdString();
    FILE* file = dir.isValid() ? std::fopen(path.c_str(), "w") : nullptr;
    if (!file)
        return;
    {
        LogWatcher watcher(path);
        for (std::size_t line = 0; watcher.watching() && running_; ++line) {
            const auto before = LogWatcher::Clock::now();
            std::fputs("00 00 00 00 88\n", file);
            std::fflush(file);
            const auto seen = watcher.waitFor(line, "88", before + 1s);
            if (!seen)
                break;
            delaysMs_.push_back(std::chrono::duration<double, std::milli>(seen->seen - before).count());
            std::this_thread::sleep_for(20ms);
        }
    }
    std::fclose(file);
}
