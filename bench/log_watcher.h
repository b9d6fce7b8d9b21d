#pragma once
// Follows the simulator's command log while it grows and stamps each whole
// line with the steady clock as it is read. A thread sleeps in poll() on an
// inotify watch of the file and reads what was appended when the simulator's
// flush wakes it, so a line's stamp is later than its write by one wake-up
// of this thread; lines read together share one stamp.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class LogWatcher {
public:
    using Clock = std::chrono::steady_clock;
    struct Line {
        std::string text;
        Clock::time_point seen;
    };

    // Follows `path` from its first byte; the file must exist.
    explicit LogWatcher(const std::string& path);
    ~LogWatcher();
    LogWatcher(const LogWatcher&) = delete;
    LogWatcher& operator=(const LogWatcher&) = delete;

    // Whether the file could be opened and watched; without that, nothing
    // is ever seen.
    bool watching() const { return thread_.joinable(); }
    // Whole lines seen so far.
    std::size_t size() const;
    // The first command line from index `from` on whose opcode (its last
    // byte) is `opcode`, waiting for it until `deadline`.
    std::optional<Line> waitFor(std::size_t from, const std::string& opcode, Clock::time_point deadline) const;

private:
    void follow();
    void readAppended();

    int file_ = -1;
    int inotify_ = -1;
    int wake_ = -1; // an eventfd that ends follow()
    std::string partial_;
    mutable std::mutex mutex_;
    mutable std::condition_variable grown_;
    std::vector<Line> lines_;
    std::thread thread_;
};

// Whether a log line is a command whose opcode is `opcode`: "00 00 00 00 88"
// and "OVERLAP 00 00 00 00 88" are 88; "STATE ..." and "PARTIAL ..." lines
// are no command.
bool IsCommand(const std::string& line, const std::string& opcode);
