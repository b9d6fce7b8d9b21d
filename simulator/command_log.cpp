#include "command_log.h"

#include <cerrno>
#include <cstring>

CommandLog::~CommandLog()
{
    if (file_)
        std::fclose(file_);
}

std::string CommandLog::open(const std::string& path)
{
    file_ = std::fopen(path.c_str(), "w");
    if (!file_)
        return "cannot write " + path + ": " + std::strerror(errno);
    return {};
}

void CommandLog::command(const Command& command, bool overlapped)
{
    const std::string text = HexBytes(command.data(), command.size());
    line(overlapped ? "OVERLAP " + text : text);
}

void CommandLog::partial(const Bytes& bytes) { line("PARTIAL " + HexBytes(bytes.data(), bytes.size())); }

void CommandLog::stateChanges(const RadioState& before, const RadioState& after, const std::string& cause)
{
    auto change = [&](const char* what, bool was, bool is) {
        if (was != is)
            line(std::string("STATE ") + what + (is ? " on" : " off") + cause);
    };
    change("transmit", before.transmitting(), after.transmitting());
    change("satellite", before.satellite, after.satellite);

    // The FM settings cannot be read back over CAT; the log is where a test sees them.
    auto fm = [&](const std::string& vfo, const FmSettings& was, const FmSettings& is) {
        if (was.toneMode != is.toneMode)
            line("STATE " + vfo + "tone mode " + ToneModeName(is.toneMode) + cause);
        if (was.ctcssCode != is.ctcssCode)
            line("STATE " + vfo + "tone " + CtcssName(is.ctcssCode) + cause);
        if (was.dcsCode != is.dcsCode)
            line("STATE " + vfo + "DCS code " + DcsName(is.dcsCode) + cause);
    };
    fm("", before.fm, after.fm);
    fm("downlink ", before.satRx.fm, after.satRx.fm);
    fm("uplink ", before.satTx.fm, after.satTx.fm);
    if (before.shift != after.shift)
        line("STATE shift " + ShiftName(after.shift) + cause);
    if (before.offset != after.offset)
        line("STATE offset " + std::to_string(after.offset * 10ULL) + " Hz" + cause);
}

void CommandLog::line(const std::string& text)
{
    if (!file_)
        return;
    std::fputs(text.c_str(), file_);
    std::fputc('\n', file_);
    // Flushed line by line: tests and the benchmark read the file while it grows.
    std::fflush(file_);
}
