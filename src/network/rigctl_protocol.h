#pragma once
// The network rig-control protocol, pure: a request line and the
// connection's state in, reply text out. No sockets, no event loop.
//
// A line is split into requests (`Session::Split`); each request is answered
// from a snapshot of the radio (`Respond`). A set that passes its checks
// comes back as an action for the radio's command queue, and its reply is
// written once the queue reports the command sent (`SetReply`).

#include "rig_backend.h"
#include "rigctl_commands.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rigctl {

// Error codes of the "RPRT n" line.
enum Report : int {
    kOk = 0,
    kInvalidArgument = -1,
    kTimeout = -5,       // no fresh reading to answer from
    kIoError = -6,       // the set could not reach the radio
    kProtocolError = -8, // the radio reported a mode code it has no name for
    kRejected = -9,      // not now: the transmitter is keyed by another, or keying is not allowed
    kNotAvailable = -11,
};

// A reading is fresh for this long; reads need a fresh one.
inline constexpr std::int64_t kFreshReadingMs = 1000;
// Silent for longer than this, the radio counts as switched off.
inline constexpr std::int64_t kPoweredSilenceMs = 2000;

// Plain replies give bare values; extended ones (requested with a leading
// '+', ';', '|' or ',') give a header, labelled values and "RPRT n", as
// records ended by '\n' ('+') or joined on one line by the prefix character.
struct ReplyStyle {
    bool extended = false;
    char separator = '\n';
    bool operator==(const ReplyStyle&) const = default;
};

struct Request {
    const CommandInfo* command = nullptr; // nothing when no command was named
    int error = kOk;                      // answered with this code, unrun
    std::vector<std::string> arguments;   // the words as received
    ReplyStyle style;
    std::string vfo;                      // the VFO word the client named, if any
};

// One connection's requests. A prefix shapes the reply to the one request
// it starts and nothing after it: "+fm" answers f extended and m plain, and
// the next line is plain unless it has a prefix of its own. No style is
// kept between requests, so none can leak into another request or another
// connection.
class Session {
public:
    // Splits one line (without its line end) into requests, in order.
    // Several one-letter commands may share a line ("fmv"). An unknown
    // command ends the line: what follows may be its arguments.
    std::vector<Request> Split(std::string_view line) const;

    // The reply to a line cut off for being too long: plain, as its prefix,
    // if it had one, was dropped with the line.
    static std::string OverlongLineReply();
};

using SetAction = RigAction;

struct Answer {
    std::string reply;            // text to send now; empty while `set` waits
    std::optional<SetAction> set; // to queue; reply with SetReply afterwards
    bool close = false;           // end the connection after sending `reply`
};

Answer Respond(const Request& request, const RigSnapshot& radio);

// The reply to a set once the radio's queue has sent it, or failed to.
std::string SetReply(const Request& request, ActionResult result);

// A read that finds the reading it answers from stale (a server that polls
// only for its clients has been idle, or a round is late), worth a short
// wait for the next round rather than an error.
bool WantsFreshReading(const Request& request, const RigSnapshot& radio);

} // namespace rigctl
