// The simulator's control lines on stdin: the test or the user at the
// radio's front panel, and at its USB adapter.

#include "simulator.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {
// A VFO's frequency or mode from a control line's argument; an error text
// when it does not parse.
std::string SetFrequency(const std::string& arg, std::uint32_t& frequency)
{
    const auto n = ParseLong(arg, 0, MaxFrequency);
    if (!n)
        return "bad frequency: " + arg;
    frequency = static_cast<std::uint32_t>(*n);
    return {};
}

std::string SetMode(const std::string& arg, std::uint8_t& mode)
{
    const auto code = ParseMode(arg);
    if (!code)
        return "unknown mode code: " + arg;
    mode = *code;
    return {};
}
} // namespace

void Simulator::readControl()
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

void Simulator::answer(const std::string& line, const std::string& error)
{
    if (error.empty())
        std::printf("OK %s\n", line.c_str());
    else
        std::printf("ERROR %s\n", error.c_str());
    std::fflush(stdout);
}

std::string Simulator::runControl(const std::string& line)
{
    const auto space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (word == "quit") {
        quit_ = true;
    } else if (word == "silent" && (arg == "on" || arg == "off")) {
        o_.silent = arg == "on";
    } else if (word == "freq") {
        return SetFrequency(arg, o_.radio.frequency);
    } else if (word == "mode") {
        return SetMode(arg, o_.radio.mode);
    } else if (word == "smeter") {
        return holdOrDrift(arg, MaxSMeter, o_.radio.smeter, o_.smeterFixed);
    } else if (word == "power") {
        return holdOrDrift(arg, MaxPower, o_.radio.power, o_.powerFixed);
    } else if (word == "satellite" && (arg == "on" || arg == "off")) {
        // The SAT key: the log shows the change came from the radio, not the host.
        const RadioState before = o_.radio;
        o_.radio.satellite = arg == "on";
        log_.stateChanges(before, o_.radio, " (front panel)");
    } else if (word == "ptt" && (arg == "on" || arg == "off")) {
        // Logged only when it changes whether the radio transmits: a CAT key may be on too.
        const RadioState before = o_.radio;
        o_.radio.panelKey = arg == "on";
        log_.stateChanges(before, o_.radio, " (front panel)");
    } else if (word == "squelch" && (arg == "open" || arg == "closed")) {
        o_.radio.setSquelchOpen(arg == "open");
    } else if (word == "sat-rx-freq") {
        return SetFrequency(arg, o_.radio.satRx.frequency);
    } else if (word == "sat-rx-mode") {
        return SetMode(arg, o_.radio.satRx.mode);
    } else if (word == "sat-tx-freq") {
        return SetFrequency(arg, o_.radio.satTx.frequency);
    } else if (word == "sat-tx-mode") {
        return SetMode(arg, o_.radio.satTx.mode);
    } else if (line == "unplug") {
        if (pty_.master < 0)
            return "already unplugged";
        unplugDevice();
    } else if (line == "replug") {
        if (pty_.master >= 0)
            return "already plugged in";
        return plugIn(); // prints the new DEVICE line before the OK
    } else {
        return "unknown control line: " + line;
    }
    return {};
}

std::string Simulator::holdOrDrift(const std::string& arg, int max, int& value, bool& fixed)
{
    if (arg == "drift") {
        fixed = false;
        nextDrift_ = Clock::now() + DriftPeriod;
        return {};
    }
    const auto n = ParseLong(arg, 0, max);
    if (!n)
        return "bad meter value: " + arg;
    value = static_cast<int>(*n);
    fixed = true;
    return {};
}
