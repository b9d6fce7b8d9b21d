#pragma once
// The simulator's main loop: takes the host's bytes from the pty (at the line
// rate, as a UART receives them, when paced), frames them into commands,
// answers them as the radio would (paced and spoilt as the options say), logs
// them, and obeys the control lines on stdin. It can lose its pty and get a
// new one, as a USB adapter that is unplugged and plugged back in.

#include "command_log.h"
#include "pty.h"
#include "radio_state.h"
#include "sim_options.h"

#include <chrono>
#include <deque>
#include <optional>
#include <random>
#include <string>

class Simulator {
public:
    // `quitFd` becomes readable when a signal asks the simulator to stop.
    Simulator(SimOptions options, int quitFd);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Runs until quit; returns the exit status.
    int run();

private:
    using Clock = std::chrono::steady_clock;
    // How often a drifting meter takes a step.
    static constexpr std::chrono::milliseconds DriftPeriod{200};

    struct Pending {
        std::uint8_t byte;
        Clock::time_point due;
    };

    // Opens a pty, links --link to it and prints its DEVICE line; an error text on failure.
    std::string plugIn();
    void unplugDevice();
    std::string makeLink();
    void removeLink();

    void step();
    // While the S-meter drifts, or the power-out meter while transmitting.
    bool metersDrift() const;
    void runTimers(Clock::time_point now);
    void readLine();
    void acceptHostBytes();
    // Takes the host's bytes whose ten bits have been on the line by `now`.
    void receiveDue(Clock::time_point now);
    // One byte of the host's that arrived at `at`: framed, and answered once a command is whole.
    void takeByte(std::uint8_t byte, Clock::time_point at);
    void dropStaleFrame(Clock::time_point now);
    void handle(const Command& command, Clock::time_point now);
    void queue(const Bytes& bytes, Clock::time_point now);
    void flushDueOutput(Clock::time_point now);

    void readControl();
    static void answer(const std::string& line, const std::string& error);
    // Applies one control line; returns an error text, empty on success.
    std::string runControl(const std::string& line);
    // "N" holds a meter at N (0..max), "drift" lets it drift again.
    std::string holdOrDrift(const std::string& arg, int max, int& value, bool& fixed);

    SimOptions o_;
    int quitFd_;
    std::mt19937 rng_;
    ReplyShaper shaper_;
    Pty pty_; // master < 0 while unplugged
    CommandLog log_;
    bool linked_ = false;
    bool quit_ = false;
    bool stdinOpen_ = true;
    std::string control_;
    Framer framer_;
    bool overlapped_ = false;
    Clock::time_point lastByteAt_{};
    // Ten bits at --baud; zero unpaced.
    std::chrono::nanoseconds byteTime_{0};
    // The host's bytes a UART's driver has taken but not yet sent: the host's
    // writes finish at once, as on a real port, and the bytes arrive at the
    // line rate. Bounded like a driver's buffer; beyond it the pty holds them.
    static constexpr std::size_t DriverBufferBytes = 4096;
    std::deque<std::uint8_t> lineInput_;
    // While bytes are on the line: when the first of lineInput_ has arrived whole.
    std::optional<Clock::time_point> inputDue_;
    Clock::time_point nextDrift_{};
    std::optional<Clock::time_point> exitAt_;
    std::deque<Pending> output_;
};
