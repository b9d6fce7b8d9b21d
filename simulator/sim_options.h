#pragma once
// The command line of ft847-sim, and the value parsers its control lines share.

#include "radio_state.h"

#include <cstdint>
#include <optional>
#include <string>

struct SimOptions {
    std::string link;
    std::string log;
    RadioState radio;
    bool smeterFixed = false;
    bool powerFixed = false;
    int resyncMs = 100;
    bool silent = false;
    FaultOptions faults;
    int delayMs = 0;
    long baud = 0;
    bool fastInput = false; // with baud: take the host's bytes unpaced
    unsigned seed = std::random_device{}();
    long exitAfterMs = -1;
};

// Parses argv; prints the usage and exits on --help, exits with status 2 on a bad option.
SimOptions ParseOptions(int argc, char** argv);

// A decimal number within low..high; nullopt on anything else.
std::optional<long> ParseLong(const std::string& text, long low, long high);
// One or two hex digits, with or without "0x".
std::optional<std::uint8_t> ParseHexByte(std::string text);
// A hex mode code the radio knows.
std::optional<std::uint8_t> ParseMode(const std::string& text);
