#include "flood_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>

FloodClient::~FloodClient() { close(); }

bool FloodClient::connectTo(int port)
{
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0)
        return false;
    // The reader wakes now and then to see whether it should stop.
    timeval timeout{0, 200 * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

void FloodClient::start()
{
    if (fd_ < 0 || writer_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        sending_ = true;
    }
    reading_ = true;
    reader_ = std::thread([this] { readLoop(); });
    writer_ = std::thread([this] { writeLoop(); });
}

void FloodClient::writeLoop()
{
    long next = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !sending_ || sent_ - answeredLocked() < depth_; });
        if (!sending_)
            return;
        // Tops the pipeline up in one write: 14.000.000 Hz and up in 10 Hz
        // steps, so every set differs from the one before.
        std::string batch;
        const long room = depth_ - (sent_ - answeredLocked());
        for (long i = 0; i < room; ++i, ++next)
            batch += "F " + std::to_string(14000000 + (next % 35000) * 10) + "\n";
        lock.unlock();
        const bool written = ::send(fd_, batch.data(), batch.size(), MSG_NOSIGNAL) == ssize_t(batch.size());
        lock.lock();
        if (!written) {
            sending_ = false;
            return;
        }
        sent_ += room;
    }
}

void FloodClient::readLoop()
{
    std::string buffer;
    char chunk[4096];
    while (reading_) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n == 0) {
            closedByServer_ = true;
            break;
        }
        if (n < 0)
            continue; // the wake-up time-out
        buffer.append(chunk, size_t(n));
        size_t start = 0;
        for (size_t end; (end = buffer.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string line = buffer.substr(start, end - start);
            if (line == "RPRT 0")
                ++ok_;
            else if (line.rfind("RPRT ", 0) == 0)
                ++refused_;
            else
                ++other_;
        }
        buffer.erase(0, start);
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    }
    reading_ = false;
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

bool FloodClient::drain(std::chrono::milliseconds quiet, std::chrono::milliseconds bound)
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    sending_ = false;
    changed_.notify_all();
    lock.unlock();
    if (writer_.joinable())
        writer_.join();
    lock.lock();
    const auto end = Clock::now() + bound;
    long answered = answeredLocked();
    auto lastReply = Clock::now();
    while (answered < sent_ && reading_) {
        const auto until = std::min(end, lastReply + quiet);
        if (Clock::now() >= until)
            break;
        changed_.wait_until(lock, until);
        if (answeredLocked() != answered) {
            answered = answeredLocked();
            lastReply = Clock::now();
        }
    }
    return answeredLocked() == sent_;
}

void FloodClient::close()
{
    {
        std::lock_guard lock(mutex_);
        sending_ = false;
        changed_.notify_all();
    }
    if (writer_.joinable())
        writer_.join();
    reading_ = false;
    if (reader_.joinable())
        reader_.join();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
