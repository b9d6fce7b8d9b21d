#include "simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

Simulator::Simulator(SimOptions options, int quitFd)
    : o_(std::move(options)), quitFd_(quitFd), rng_(o_.seed), shaper_(o_.faults)
{
    if (o_.baud > 0)
        byteTime_ = std::chrono::nanoseconds(10'000'000'000LL / o_.baud);
}

Simulator::~Simulator() { unplugDevice(); }

int Simulator::run()
{
    if (!o_.log.empty()) {
        if (const std::string error = log_.open(o_.log); !error.empty()) {
            std::fprintf(stderr, "ft847-sim: %s\n", error.c_str());
            return 1;
        }
    }
    if (const std::string error = plugIn(); !error.empty()) {
        std::fprintf(stderr, "ft847-sim: %s\n", error.c_str());
        return 1;
    }

    const auto start = Clock::now();
    if (o_.exitAfterMs >= 0)
        exitAt_ = start + std::chrono::milliseconds(o_.exitAfterMs);
    nextDrift_ = start + DriftPeriod;
    while (!quit_)
        step();
    unplugDevice();
    return 0;
}

std::string Simulator::plugIn()
{
    std::string error;
    if (!OpenPty(pty_, error))
        return error;
    if (!o_.link.empty()) {
        error = makeLink();
        if (!error.empty()) {
            ClosePty(pty_);
            return error;
        }
    }
    std::printf("DEVICE %s\n", pty_.path.c_str());
    std::fflush(stdout);
    return {};
}

void Simulator::unplugDevice()
{
    removeLink();
    // Closing the master hangs the client's end up, as a vanished adapter does.
    ClosePty(pty_);
    // What was on the wire and what was half received go with the adapter.
    output_.clear();
    framer_.clear();
    overlapped_ = false;
    lineInput_.clear();
    inputDue_.reset();
}

std::string Simulator::makeLink()
{
    struct stat st {};
    if (lstat(o_.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        unlink(o_.link.c_str()); // a stale link from an earlier run
    if (symlink(pty_.path.c_str(), o_.link.c_str()) != 0)
        return "cannot link " + o_.link + ": " + std::strerror(errno);
    linked_ = true;
    return {};
}

void Simulator::removeLink()
{
    if (!linked_)
        return;
    // Only our own link: someone may have pointed the path elsewhere since.
    char target[4096];
    const ssize_t n = readlink(o_.link.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == pty_.path)
        unlink(o_.link.c_str());
    linked_ = false;
}

// One poll() round: sleeps until input arrives or the next timed event.
void Simulator::step()
{
    const auto now = Clock::now();
    std::optional<Clock::time_point> due;
    auto consider = [&](Clock::time_point t) { due = due ? std::min(*due, t) : t; };
    if (!output_.empty())
        consider(output_.front().due);
    if (inputDue_)
        consider(*inputDue_);
    if (!framer_.empty() && o_.resyncMs > 0)
        consider(lastByteAt_ + std::chrono::milliseconds(o_.resyncMs));
    if (metersDrift())
        consider(nextDrift_);
    if (exitAt_)
        consider(*exitAt_);

    int timeout = -1;
    if (due) {
        // Round up so a wake-up never comes early and spins on a zero timeout.
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
        timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
    }

    // While unplugged the master is -1, which poll() skips. With the driver's
    // buffer full the host's bytes wait in the pty.
    const short input = lineInput_.size() < DriverBufferBytes ? POLLIN : 0;
    pollfd fds[3] = {{pty_.master, input, 0}, {quitFd_, POLLIN, 0}, {stdinOpen_ ? 0 : -1, POLLIN, 0}};
    const int ready = poll(fds, 3, timeout);
    if (ready < 0 && errno != EINTR) {
        std::perror("ft847-sim: poll");
        quit_ = true;
        return;
    }
    if (ready > 0) {
        if (fds[1].revents)
            quit_ = true;
        if (fds[0].revents & POLLIN) {
            if (byteTime_.count() > 0 && !o_.fastInput)
                acceptHostBytes();
            else
                readLine();
        } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            std::fprintf(stderr, "ft847-sim: device error\n");
            quit_ = true;
        }
        if (fds[2].revents)
            readControl();
    }
    runTimers(Clock::now());
}

bool Simulator::metersDrift() const { return !o_.smeterFixed || (!o_.powerFixed && o_.radio.transmitting()); }

void Simulator::runTimers(Clock::time_point now)
{
    receiveDue(now);
    flushDueOutput(now);
    dropStaleFrame(now);
    if (metersDrift() && now >= nextDrift_) {
        // Receiving, the power meter rests: the seeded generator then runs
        // as it did before the radio could transmit.
        if (!o_.smeterFixed)
            o_.radio.driftSMeter(rng_);
        if (!o_.powerFixed && o_.radio.transmitting())
            o_.radio.driftPower(rng_);
        nextDrift_ = now + DriftPeriod;
    }
    if (exitAt_ && now >= *exitAt_)
        quit_ = true;
}

void Simulator::readLine()
{
    std::uint8_t buffer[512];
    const ssize_t n = read(pty_.master, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            std::perror("ft847-sim: read");
            quit_ = true;
        }
        return;
    }
    const auto now = Clock::now();
    for (ssize_t i = 0; i < n; ++i)
        takeByte(buffer[i], now);
}

void Simulator::acceptHostBytes()
{
    std::uint8_t buffer[512];
    const std::size_t room = std::min(sizeof buffer, DriverBufferBytes - lineInput_.size());
    const ssize_t n = read(pty_.master, buffer, room);
    if (n <= 0) {
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            std::perror("ft847-sim: read");
            quit_ = true;
        }
        return;
    }
    // On an idle line the first byte's start bit goes out now.
    if (lineInput_.empty())
        inputDue_ = Clock::now() + byteTime_;
    lineInput_.insert(lineInput_.end(), buffer, buffer + n);
}

void Simulator::receiveDue(Clock::time_point now)
{
    // Woken late, every byte due by now is taken, each at its own arrival
    // time; the bytes behind it follow back to back.
    while (inputDue_ && *inputDue_ <= now && !lineInput_.empty()) {
        const std::uint8_t byte = lineInput_.front();
        lineInput_.pop_front();
        const Clock::time_point at = *inputDue_;
        *inputDue_ += byteTime_;
        takeByte(byte, at);
    }
    if (lineInput_.empty())
        inputDue_.reset(); // the line is idle until the host writes again
}

void Simulator::takeByte(std::uint8_t byte, Clock::time_point at)
{
    // Reply bytes due by then went out before this one arrived, and a
    // fragment gone stale by then was dropped.
    flushDueOutput(at);
    dropStaleFrame(at);
    if (framer_.empty())
        overlapped_ = !output_.empty();
    lastByteAt_ = at;
    if (const auto command = framer_.push(byte))
        handle(*command, at);
}

void Simulator::dropStaleFrame(Clock::time_point now)
{
    if (framer_.empty() || o_.resyncMs <= 0 || now < lastByteAt_ + std::chrono::milliseconds(o_.resyncMs))
        return;
    log_.partial(framer_.partial());
    framer_.clear();
}

void Simulator::handle(const Command& command, Clock::time_point now)
{
    log_.command(command, overlapped_);
    const RadioState before = o_.radio;
    const auto reply = o_.radio.apply(command);
    log_.stateChanges(before, o_.radio);
    if (!reply || o_.silent)
        return;
    queue(shaper_.shape(*reply, rng_), now);
}

void Simulator::queue(const Bytes& bytes, Clock::time_point now)
{
    if (bytes.empty())
        return;
    // A reply queued behind one still going out follows it.
    auto t = now + std::chrono::milliseconds(o_.delayMs);
    if (!output_.empty())
        t = std::max(t, output_.back().due);
    // Paced, each byte arrives once its ten bits have been on the line.
    for (const auto b : bytes) {
        t += byteTime_;
        output_.push_back({b, t});
    }
    flushDueOutput(now);
}

void Simulator::flushDueOutput(Clock::time_point now)
{
    Bytes chunk;
    while (!output_.empty() && output_.front().due <= now) {
        chunk.push_back(output_.front().byte);
        output_.pop_front();
    }
    if (chunk.empty())
        return;
    // A full input queue on the client's side loses the bytes, as a line
    // with nobody listening would.
    const ssize_t n = write(pty_.master, chunk.data(), chunk.size());
    if (n < 0 && errno != EAGAIN && errno != EINTR)
        std::perror("ft847-sim: write");
}
