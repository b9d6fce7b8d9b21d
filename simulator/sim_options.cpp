#include "sim_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const Usage = R"usage(Usage: ft847-sim [options]
Simulates a Yaesu FT-847 CAT port on a pseudo-terminal. The first line on
stdout is "DEVICE <path>" once the port is ready.

  --link PATH          also make PATH a symlink to the device (removed on exit
                       and on unplug, made again on replug)
  --log FILE           log every command received, one line of hex bytes each;
                       "OVERLAP <bytes>" when it began while a reply was still
                       going out, "PARTIAL <bytes>" for a discarded partial
                       frame; after a command that changes the transmit or
                       satellite state, "STATE transmit on|off" or "STATE
                       satellite on|off" (a change from a control line adds
                       " (front panel)"); after one that changes an FM
                       setting, "STATE tone mode tone encoder", "STATE uplink
                       tone 67.0 Hz", "STATE downlink DCS code 023", "STATE
                       shift plus", "STATE offset 600000 Hz" and the like
  --freq N             initial frequency in 10 Hz units (default 1420000)
  --mode HEX           initial mode code (default 01 = USB)
  --smeter N           hold the S-meter at N (0..31); otherwise it drifts
  --power N            hold the power-out meter at N (0..31, default 20);
                       otherwise it drifts while transmitting
  --ptt                start keyed at the microphone (see the ptt control line)
  --satellite          start in satellite mode
  --sat-rx-freq N      satellite RX (downlink) VFO frequency in 10 Hz units
                       (default 43590000)
  --sat-rx-mode HEX    its mode code (default 01 = USB)
  --sat-tx-freq N      satellite TX (uplink) VFO frequency (default 14590000)
  --sat-tx-mode HEX    its mode code (default 00 = LSB)
  --status-high HEX    bits OR'ed into the status byte, within E0 (default 00);
                       bit 7 is the squelch (80 closed)
  --squelch open|closed
                       start with the squelch open (the default: E7 bit 7
                       clear) or closed (bit 7 set)
  --resync-ms N        discard a partial frame left unfinished N ms (default 100,
                       0 = never)
  --silent             never reply; every set is still obeyed, as by an early
                       FT-847 whose CAT only listens
  --short N            send every reply N bytes short
  --extra N            append N stray 0xFE bytes to every reply
  --lose-inside        lose the second byte of every reply (01 42 00 00 01 goes
                       out as 01 00 00 01); a one-byte reply is lost whole
  --dup-inside         send the second byte of every reply twice (01 42 42 00
                       00 01); a one-byte reply goes out twice; not together
                       with --lose-inside
  --delay-ms N         start each reply N ms after its command
  --baud B             pace both directions at B baud, 10 bits a byte (default
                       unpaced): replies go out at that rate, and the host's
                       bytes arrive only as fast as the line carries them. As
                       a serial driver does, the host's writes are taken at
                       once (up to 4 KiB waiting) and the bytes then go out
                       one byte-time apart
  --fast-input         with --baud, the host's bytes arrive as fast as they
                       come (replies stay paced)
  --garbage-every N    send one random byte after every N-th reply
  --fault-rate P       spoil a fraction P (0..1) of replies, each one way picked
                       at random: short, one stray byte added, missing, a byte
                       lost or duplicated inside (a random one between the
                       first and the last)
  --seed S             seed for the random S-meter, garbage and faults
  --freeze-after N     stop replying after N replies
  --exit-after-ms N    close the device and exit after N ms
  --help               show this text

CAT opcodes it knows: 00/80 CAT on/off; 01 07 03 set the frequency, set the
mode, read both (main VFO); E7 RX status (S-meter, bit 7 set while the squelch
is closed); 08/88 CAT PTT on/off; F7 TX status (bit 7 set while receiving,
else the power-out meter); 4E/8E satellite mode on/off; in satellite mode
11 17 13 set, set the mode, read the satellite RX VFO, and 21 27 23 the
satellite TX VFO (outside it they are ignored and unanswered).
FM settings, kept but never reported: 0A tone mode (P1 0A DCS, 2A tone
squelch, 4A tone encoder, 8A off), 0B CTCSS tone (P1 the tone's code), 0C DCS
code (P1 P2 BCD, 00 23 = 023) for the main VFO, and 1A 1B 1C, 2A 2B 2C for the
satellite RX and TX VFOs (in satellite mode only); 09 repeater shift (P1 09
minus, 49 plus, 89 simplex); F9 repeater offset (8 BCD digits, 10 Hz units).
A code the radio lacks or a non-BCD digit leaves the setting as it was.
Defaults: tone mode off, 88.5 Hz, DCS 023, simplex, offset 600 kHz.

Control lines on stdin (each answered "OK <line>" or "ERROR <reason>" on stdout):
  silent on|off   freq N   mode HEX   smeter N|drift   power N|drift   quit
  satellite on|off   the SAT key on the front panel
  squelch open|closed   E7 bit 7 clear or set
  ptt on|off   the microphone's PTT or a foot switch: the radio transmits while
               it or the CAT key (08) is on, and 88 cannot release it
  sat-rx-freq N   sat-rx-mode HEX   sat-tx-freq N   sat-tx-mode HEX
  unplug   the adapter goes: the pty closes (the client's port hangs up), the
           --link symlink is removed, and commands go unanswered
  replug   the adapter comes back on a new pty: the --link symlink points to
           it again and "DEVICE <path>" is printed before "OK replug"; the
           radio state and the log carry on
End of stdin does not stop the simulator; quit, SIGINT or SIGTERM do.
)usage";

[[noreturn]] void BadUsage(const std::string& message)
{
    std::fprintf(stderr, "ft847-sim: %s\nTry --help.\n", message.c_str());
    std::exit(2);
}

} // namespace

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

SimOptions ParseOptions(int argc, char** argv)
{
    SimOptions o;
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
        auto mode = [&]() -> std::uint8_t {
            const std::string text = value();
            const auto code = ParseMode(text);
            if (!code)
                BadUsage("unknown mode code: " + text);
            return *code;
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
            o.radio.mode = mode();
        } else if (name == "--smeter") {
            o.radio.smeter = static_cast<int>(number(0, MaxSMeter));
            o.smeterFixed = true;
        } else if (name == "--power") {
            o.radio.power = static_cast<int>(number(0, MaxPower));
            o.powerFixed = true;
        } else if (name == "--ptt") {
            o.radio.panelKey = true;
        } else if (name == "--satellite") {
            o.radio.satellite = true;
        } else if (name == "--sat-rx-freq") {
            o.radio.satRx.frequency = static_cast<std::uint32_t>(number(0, MaxFrequency));
        } else if (name == "--sat-rx-mode") {
            o.radio.satRx.mode = mode();
        } else if (name == "--sat-tx-freq") {
            o.radio.satTx.frequency = static_cast<std::uint32_t>(number(0, MaxFrequency));
        } else if (name == "--sat-tx-mode") {
            o.radio.satTx.mode = mode();
        } else if (name == "--status-high") {
            const std::string text = value();
            const auto bits = ParseHexByte(text);
            if (!bits || (*bits & ~0xE0))
                BadUsage("--status-high takes hex bits within E0: " + text);
            o.radio.statusHigh = *bits;
        } else if (name == "--squelch") {
            const std::string text = value();
            if (text != "open" && text != "closed")
                BadUsage("--squelch takes open or closed: " + text);
            o.radio.setSquelchOpen(text == "open");
        } else if (name == "--resync-ms") {
            o.resyncMs = static_cast<int>(number(0, MaxMs));
        } else if (name == "--silent") {
            o.silent = true;
        } else if (name == "--short") {
            o.faults.shortBy = static_cast<int>(number(0, 5));
        } else if (name == "--extra") {
            o.faults.extra = static_cast<int>(number(0, 1000));
        } else if (name == "--lose-inside") {
            o.faults.loseInside = true;
        } else if (name == "--dup-inside") {
            o.faults.dupInside = true;
        } else if (name == "--delay-ms") {
            o.delayMs = static_cast<int>(number(0, MaxMs));
        } else if (name == "--baud") {
            o.baud = number(1, 10000000);
        } else if (name == "--fast-input") {
            o.fastInput = true;
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
    if (o.faults.loseInside && o.faults.dupInside)
        BadUsage("--lose-inside and --dup-inside exclude each other");
    return o;
}
