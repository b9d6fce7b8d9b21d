#pragma once
// The --log file. One line per command received, as hex bytes ("01 42 00 00
// 01"), "OVERLAP <bytes>" for one that began while a reply was still going
// out, and "PARTIAL <bytes>" for a fragment dropped unfinished. A change of
// transmit or satellite state, or of an FM setting, adds a "STATE ..." line
// right after the command that made it, so readers count commands by the
// lines without that prefix.

#include "radio_state.h"

#include <cstdio>
#include <string>

class CommandLog {
public:
    CommandLog() = default;
    ~CommandLog();
    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    // Starts the file afresh; an error text on failure. Unopened, the log
    // takes lines and writes nothing.
    std::string open(const std::string& path);

    void command(const Command& command, bool overlapped);
    void partial(const Bytes& bytes);
    // "STATE transmit on", "STATE satellite off", "STATE uplink tone 67.0 Hz",
    // "STATE offset 600000 Hz", ... for each way `after`
    // differs from `before`, with `cause` appended ("" after a command).
    void stateChanges(const RadioState& before, const RadioState& after, const std::string& cause = {});

private:
    void line(const std::string& text);

    FILE* file_ = nullptr;
};
