#include "log_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

bool IsCommand(const std::string& line, const std::string& opcode)
{
    if (line.rfind("STATE ", 0) == 0 || line.rfind("PARTIAL ", 0) == 0)
        return false;
    return line.size() > opcode.size() && line.compare(line.size() - opcode.size(), opcode.size(), opcode) == 0
           && line[line.size() - opcode.size() - 1] == ' ';
}

LogWatcher::LogWatcher(const std::string& path)
{
    file_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    inotify_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (file_ < 0 || inotify_ < 0 || wake_ < 0 || ::inotify_add_watch(inotify_, path.c_str(), IN_MODIFY) < 0)
        return;
    thread_ = std::thread([this] { follow(); });
}

LogWatcher::~LogWatcher()
{
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wake_, &one, sizeof one);
        thread_.join();
    }
    for (int fd : {file_, inotify_, wake_})
        if (fd >= 0)
            ::close(fd);
}

std::size_t LogWatcher::size() const
{
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::optional<LogWatcher::Line> LogWatcher::waitFor(std::size_t from, const std::string& opcode,
                                                    Clock::time_point deadline) const
{
    std::unique_lock lock(mutex_);
    for (std::size_t i = from;; ++i) {
        while (i >= lines_.size())
            if (grown_.wait_until(lock, deadline) == std::cv_status::timeout && i >= lines_.size())
                return std::nullopt;
        if (IsCommand(lines_[i].text, opcode))
            return lines_[i];
    }
}

void LogWatcher::follow()
{
    // Reads what is there, then sleeps until the file is written to. An
    // event that comes while reading wakes the next poll at once, so no
    // write is missed. The 1 s bound only limits each sleep.
    for (;;) {
        readAppended();
        pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            return;
        if (fds[0].revents & POLLIN) {
            alignas(inotify_event) char events[4096];
            while (::read(inotify_, events, sizeof events) > 0) {
            }
        }
    }
}

void LogWatcher::readAppended()
{
    char chunk[8192];
    ssize_t n;
    std::vector<Line> whole;
    while ((n = ::read(file_, chunk, sizeof chunk)) > 0) {
        const auto seen = Clock::now();
        partial_.append(chunk, std::size_t(n));
        std::size_t start = 0;
        for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1)
            whole.push_back({partial_.substr(start, end - start), seen});
        partial_.erase(0, start);
    }
    if (whole.empty())
        return;
    std::lock_guard lock(mutex_);
    lines_.insert(lines_.end(), std::make_move_iterator(whole.begin()), std::make_move_iterator(whole.end()));
    grown_.notify_all();
}
