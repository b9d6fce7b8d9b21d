// ft847-sim: an FT-847 on a pseudo-terminal, for tests and the demo.
// Prints "DEVICE <slave path>" on its first stdout line, logs every command
// it receives and can misbehave on purpose (see --help).

#include "pty.h"
#include "radio_state.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

const char* const Usage = R"(Usage: ft847-sim [options]
Simulates a Yaesu FT-847 CAT port on a pseudo-terminal. The first line on
stdout is "DEVICE <path>" once the port is ready.

  --link PATH          also make PATH a symlink to the device (removed on exit)
  --log FILE           log every command received, one line of hex bytes each;
                       "OVERLAP <bytes>" when it began while a reply was still
                       going out, "PARTIAL <bytes>" for a discarded partial frame
  --freq N             initial frequency in 10 Hz units (default 1420000)
  --mode HEX           initial mode code (default 01 = USB)
  --smeter N           hold the S-meter at N (0..31); otherwise it drifts
  --status-high HEX    bits OR'ed into the status byte, within E0 (default 00)
  --resync-ms N        discard a partial frame left unfinished N ms (default 100,
                       0 = never)
  --silent             never reply
  --short N            send every reply N bytes short
  --extra N            append N stray 0xFE bytes to every reply
  --delay-ms N         start each reply N ms after its command
  --baud B             pace reply bytes at B baud, 10 bits a byte (default unpaced)
  --garbage-every N    send one random byte after every N-th reply
  --fault-rate P       make a fraction P (0..1) of replies short, longer or missing
  --seed S             seed for the random S-meter, garbage and faults
  --freeze-after N     stop replying after N replies
  --exit-after-ms N    close the device and exit after N ms
  --help               show this text

Control lines on stdin (each answered "OK <line>" or "ERROR <reason>" on stdout):
  silent on|off   freq N   mode HEX   smeter N|drift   quit
End of stdin does not stop the simulator; quit, SIGINT or SIGTERM do.
)";

struct Options {
    std::string link;
    std::string log;
    RadioState radio;
    bool smeterFixed = false;
    int resyncMs = 100;
    bool silent = false;
    FaultOptions faults;
    int delayMs = 0;
    long baud = 0;
    unsigned seed = std::random_device{}();
    long exitAfterMs = -1;
};

[[noreturn]] void BadUsage(const std::string& message)
{
    std::fprintf(stderr, "ft847-sim: %s\nTry --help.\n", message.c_str());
    std::exit(2);
}

std::optional<long> ParseLong(const std::string& text, long low, long high)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno || *end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<std::uint8_t> ParseHexByte(std::string text)
{
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)
        text.erase(0, 2);
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (*end)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

std::optional<std::uint8_t> ParseMode(const std::string& text)
{
    const auto code = ParseHexByte(text);
    return code && IsKnownMode(*code) ? code : std::nullopt;
}

Options ParseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                BadUsage(name + " needs a value");
            return argv[++i];
        };
        auto number = [&](long low, long high) -> long {
            const std::string text = value();
            const auto n = ParseLong(text, low, high);
            if (!n)
                BadUsage("bad value for " + name + ": " + text);
            return *n;
        };
        const long MaxMs = 24L * 3600 * 1000;

        if (name == "--help" || name == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (name == "--link") {
            o.link = value();
        } else if (name == "--log") {
            o.log = value();
        } else if (name == "--freq") {
            o.radio.frequency = static_cast<std::uint32_t>(number(0, MaxFrequency));
        } else if (name == "--mode") {
            const std::string text = value();
            const auto mode = ParseMode(text);
            if (!mode)
                BadUsage("unknown mode code: " + text);
            o.radio.mode = *mode;
        } else if (name == "--smeter") {
            o.radio.smeter = static_cast<int>(number(0, MaxSMeter));
            o.smeterFixed = true;
        } else if (name == "--status-high") {
            const std::string text = value();
            const auto bits = ParseHexByte(text);
            if (!bits || (*bits & ~0xE0))
                BadUsage("--status-high takes hex bits within E0: " + text);
            o.radio.statusHigh = *bits;
        } else if (name == "--resync-ms") {
            o.resyncMs = static_cast<int>(number(0, MaxMs));
        } else if (name == "--silent") {
            o.silent = true;
        } else if (name == "--short") {
            o.faults.shortBy = static_cast<int>(number(0, 5));
        } else if (name == "--extra") {
            o.faults.extra = static_cast<int>(number(0, 1000));
        } else if (name == "--delay-ms") {
            o.delayMs = static_cast<int>(number(0, MaxMs));
        } else if (name == "--baud") {
            o.baud = number(1, 10000000);
        } else if (name == "--garbage-every") {
            o.faults.garbageEvery = static_cast<int>(number(1, 1000000));
        } else if (name == "--fault-rate") {
            const std::string text = value();
            char* end = nullptr;
            const double p = std::strtod(text.c_str(), &end);
            if (text.empty() || *end || !(p >= 0.0 && p <= 1.0))
                BadUsage("--fault-rate takes a fraction 0..1: " + text);
            o.faults.faultRate = p;
        } else if (name == "--seed") {
            o.seed = static_cast<unsigned>(number(0, 4294967295L));
        } else if (name == "--freeze-after") {
            o.faults.freezeAfter = static_cast<int>(number(0, 1000000000));
        } else if (name == "--exit-after-ms") {
            o.exitAfterMs = number(0, MaxMs);
        } else {
            BadUsage("unknown option " + name);
        }
    }
    return o;
}

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto n = write(signalPipe[1], &byte, 1);
    errno = saved;
}

void InstallSignalHandlers()
{
    if (pipe(signalPipe) != 0) {
        std::perror("ft847-sim: pipe");
        std::exit(1);
    }
    for (int fd : signalPipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

class Simulator {
public:
    Simulator(Options options) : o_(std::move(options)), rng_(o_.seed), shaper_(o_.faults) {}

    int run()
    {
        std::string error;
        if (!OpenPty(pty_, error)) {
            std::fprintf(stderr, "ft847-sim: %s\n", error.c_str());
            return 1;
        }
        if (!o_.log.empty()) {
            log_ = std::fopen(o_.log.c_str(), "w");
            if (!log_) {
                std::fprintf(stderr, "ft847-sim: cannot write %s: %s\n", o_.log.c_str(), std::strerror(errno));
                return finish(1);
            }
        }
        if (!o_.link.empty() && !makeLink())
            return finish(1);

        std::printf("DEVICE %s\n", pty_.path.c_str());
        std::fflush(stdout);

        const auto start = Clock::now();
        if (o_.exitAfterMs >= 0)
            exitAt_ = start + std::chrono::milliseconds(o_.exitAfterMs);
        nextDrift_ = start + DriftPeriod;
        while (!quit_)
            step();
        return finish(0);
    }

private:
    static constexpr auto DriftPeriod = 200ms;

    bool makeLink()
    {
        struct stat st {};
        if (lstat(o_.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(o_.link.c_str()); // a stale link from an earlier run
        if (symlink(pty_.path.c_str(), o_.link.c_str()) != 0) {
            std::fprintf(stderr, "ft847-sim: cannot link %s: %s\n", o_.link.c_str(), std::strerror(errno));
            return false;
        }
        linked_ = true;
        return true;
    }

    int finish(int code)
    {
        ClosePty(pty_);
        if (linked_) {
            char target[4096];
            const ssize_t n = readlink(o_.link.c_str(), target, sizeof target - 1);
            if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == pty_.path)
                unlink(o_.link.c_str());
            linked_ = false;
        }
        if (log_)
            std::fclose(log_);
        log_ = nullptr;
        return code;
    }

    void logLine(const std::string& line)
    {
        if (!log_)
            return;
        std::fputs(line.c_str(), log_);
        std::fputc('\n', log_);
        std::fflush(log_);
    }

    // One poll() round: sleeps until input arrives or the next timed event.
    void step()
    {
        const auto now = Clock::now();
        std::optional<Clock::time_point> due;
        auto consider = [&](Clock::time_point t) { due = due ? std::min(*due, t) : t; };
        if (!output_.empty())
            consider(output_.front().due);
        if (!framer_.empty() && o_.resyncMs > 0)
            consider(lastByteAt_ + std::chrono::milliseconds(o_.resyncMs));
        if (!o_.smeterFixed)
            consider(nextDrift_);
        if (exitAt_)
            consider(*exitAt_);

        int timeout = -1;
        if (due) {
            // Round up so a wake-up never comes early and spins on a zero timeout.
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
            timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
        }

        pollfd fds[3] = {{pty_.master, POLLIN, 0}, {signalPipe[0], POLLIN, 0}, {stdinOpen_ ? 0 : -1, POLLIN, 0}};
        const int ready = poll(fds, 3, timeout);
        if (ready < 0 && errno != EINTR) {
            std::perror("ft847-sim: poll");
            quit_ = true;
            return;
        }
        if (ready > 0) {
            if (fds[1].revents)
                quit_ = true;
            if (fds[0].revents & POLLIN)
                readLine();
            else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                std::fprintf(stderr, "ft847-sim: device error\n");
                quit_ = true;
            }
            if (fds[2].revents)
                readControl();
        }
        runTimers(Clock::now());
    }

    void runTimers(Clock::time_point now)
    {
        flushDueOutput(now);
        if (!framer_.empty() && o_.resyncMs > 0 && now >= lastByteAt_ + std::chrono::milliseconds(o_.resyncMs)) {
            const Bytes partial = framer_.partial();
            logLine("PARTIAL " + HexBytes(partial.data(), partial.size()));
            framer_.clear();
        }
        if (!o_.smeterFixed && now >= nextDrift_) {
            o_.radio.driftSMeter(rng_);
            nextDrift_ = now + DriftPeriod;
        }
        if (exitAt_ && now >= *exitAt_)
            quit_ = true;
    }

    void readLine()
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
        for (ssize_t i = 0; i < n; ++i) {
            // Bytes already due count as sent before this one arrived.
            flushDueOutput(now);
            if (framer_.empty())
                overlapped_ = !output_.empty();
            lastByteAt_ = now;
            if (const auto command = framer_.push(buffer[i]))
                handle(*command, now);
        }
    }

    void handle(const Command& command, Clock::time_point now)
    {
        const std::string text = HexBytes(command.data(), command.size());
        logLine(overlapped_ ? "OVERLAP " + text : text);
        const auto reply = o_.radio.apply(command);
        if (!reply || o_.silent)
            return;
        queue(shaper_.shape(*reply, rng_), now);
    }

    void queue(const Bytes& bytes, Clock::time_point now)
    {
        if (bytes.empty())
            return;
        // A reply queued behind one still going out follows it.
        auto t = now + std::chrono::milliseconds(o_.delayMs);
        if (!output_.empty())
            t = std::max(t, output_.back().due);
        // Paced, each byte arrives once its ten bits have been on the line.
        const std::chrono::nanoseconds byteTime(o_.baud > 0 ? 10'000'000'000LL / o_.baud : 0);
        for (const auto b : bytes) {
            t += byteTime;
            output_.push_back({b, t});
        }
        flushDueOutput(now);
    }

    void flushDueOutput(Clock::time_point now)
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

    void readControl()
    {
        // stdin stays blocking (it may be shared with a shell); poll() said it is readable.
        char buffer[512];
        const ssize_t n = read(0, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            stdinOpen_ = false; // no more control lines; keep simulating
            return;
        }
        control_.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = control_.find('\n')) != std::string::npos) {
            std::string line = control_.substr(0, end);
            control_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                answer(line, runControl(line));
        }
    }

    static void answer(const std::string& line, const std::string& error)
    {
        if (error.empty())
            std::printf("OK %s\n", line.c_str());
        else
            std::printf("ERROR %s\n", error.c_str());
        std::fflush(stdout);
    }

    // Applies one control line; returns an error text, empty on success.
    std::string runControl(const std::string& line)
    {
        const auto space = line.find(' ');
        const std::string word = line.substr(0, space);
        const std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (word == "quit") {
            quit_ = true;
        } else if (word == "silent" && (arg == "on" || arg == "off")) {
            o_.silent = arg == "on";
        } else if (word == "freq") {
            const auto n = ParseLong(arg, 0, MaxFrequency);
            if (!n)
                return "bad frequency: " + arg;
            o_.radio.frequency = static_cast<std::uint32_t>(*n);
        } else if (word == "mode") {
            const auto mode = ParseMode(arg);
            if (!mode)
                return "unknown mode code: " + arg;
            o_.radio.mode = *mode;
        } else if (word == "smeter") {
            if (arg == "drift") {
                o_.smeterFixed = false;
                nextDrift_ = Clock::now() + DriftPeriod;
            } else {
                const auto n = ParseLong(arg, 0, MaxSMeter);
                if (!n)
                    return "bad S-meter value: " + arg;
                o_.radio.smeter = static_cast<int>(*n);
                o_.smeterFixed = true;
            }
        } else {
            return "unknown control line: " + line;
        }
        return {};
    }

    struct Pending {
        std::uint8_t byte;
        Clock::time_point due;
    };

    Options o_;
    std::mt19937 rng_;
    ReplyShaper shaper_;
    Pty pty_;
    FILE* log_ = nullptr;
    bool linked_ = false;
    bool quit_ = false;
    bool stdinOpen_ = true;
    std::string control_;
    Framer framer_;
    bool overlapped_ = false;
    Clock::time_point lastByteAt_{};
    Clock::time_point nextDrift_{};
    std::optional<Clock::time_point> exitAt_;
    std::deque<Pending> output_;
};

} // namespace

int main(int argc, char** argv)
{
    Options options = ParseOptions(argc, argv);
    InstallSignalHandlers();
    return Simulator(std::move(options)).run();
}
