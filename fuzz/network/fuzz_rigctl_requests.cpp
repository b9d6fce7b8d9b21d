// Any bytes a client may send, cut into lines and answered as a connection
// would, against a radio state picked by the first byte. Checks what every
// client relies on: each request gets a whole reply, only in-range
// frequencies, real mode codes and the radio's own tones and DCS codes
// reach the radio, never on a closed port,
// and a reply prefix shapes one request only, so a plain request after any
// line gets the plain reply.

#include "cat_protocol.h"
#include "fm_cat.h"
#include "request_lines.h"
#include "rigctl_protocol.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool RadioKnowsMode(std::uint8_t code)
{
    for (const auto& mode : cat::kModes)
        if (mode.code == code)
            return true;
    return false;
}

RigSnapshot RadioFrom(std::uint8_t choice)
{
    RigSnapshot radio;
    radio.portOpen = (choice & 1) != 0;
    radio.haveReading = (choice & 2) != 0;
    static constexpr std::int64_t kAges[] = {-1, 0, 999, 1000, 1001, 2000, 2001, 60000};
    radio.readingAgeMs = kAges[(choice >> 2) & 7];
    radio.modeCode = cat::kModes[(choice >> 5) % cat::kModes.size()].code;
    radio.frequency10Hz = 1407400;
    radio.sMeterRaw = choice % 40 - 4; // also outside 0..31
    radio.meterAgeMs = radio.readingAgeMs;
    radio.rxStatusAgeMs = radio.readingAgeMs;
    radio.txStatusAgeMs = kAges[(choice >> 3) & 7];
    radio.squelchOpen = (choice & 0x10) != 0;
    radio.powerOutRaw = choice % 41 - 5; // also outside 0..31
    radio.satellite = choice % 3 == 0;
    radio.transmitting = choice % 5 == 0;
    radio.haveUplinkReading = radio.satellite && radio.haveReading;
    radio.uplinkAgeMs = radio.readingAgeMs;
    radio.uplinkFrequency10Hz = 14590000;
    return radio;
}

bool IsPrefix(char c)
{
    return c == '+' || c == ';' || c == '|' || c == ',';
}

// What a session answers to a plain "f" and "fmv".
std::string PlainPoll(const rigctl::Session& session, const RigSnapshot& radio)
{
    std::string replies;
    for (const char* line : {"f", "fmv"})
        for (const auto& request : session.Split(line))
            replies += rigctl::Respond(request, radio).reply;
    return replies;
}

void Answer(rigctl::Session& session, const std::string& line, const RigSnapshot& radio, bool& sent)
{
    const auto requests = session.Split(line);
    Check(!requests.empty());
    Check(requests.size() <= line.size() + 1);
    // Each prefix character starts at most one extended request.
    const auto extended = std::count_if(requests.begin(), requests.end(),
                                        [](const rigctl::Request& r) { return r.style.extended; });
    Check(extended <= std::count_if(line.begin(), line.end(), IsPrefix));
    for (const auto& request : requests) {
        const rigctl::Answer answer = rigctl::Respond(request, radio);
        if (answer.close || !answer.set) {
            Check(!answer.reply.empty() && answer.reply.back() == '\n');
            if (answer.close)
                return;
            continue;
        }
        Check(answer.reply.empty());
        Check(radio.portOpen);
        const auto action = request.command->action;
        switch (answer.set->kind) {
        case rigctl::SetAction::Kind::Frequency:
            Check(action == rigctl::Action::SetFrequency || action == rigctl::Action::SetSplitFrequency);
            Check(cat::InTuningRange(answer.set->frequency10Hz));
            Check(!answer.set->uplink || radio.satellite);
            break;
        case rigctl::SetAction::Kind::Mode:
            Check(action == rigctl::Action::SetMode || action == rigctl::Action::SetSplitMode);
            Check(RadioKnowsMode(answer.set->modeCode));
            Check(!answer.set->uplink || radio.satellite);
            break;
        case rigctl::SetAction::Kind::Key:
        case rigctl::SetAction::Kind::Unkey:
            Check(action == rigctl::Action::SetPtt);
            break;
        case rigctl::SetAction::Kind::Satellite:
            Check(action == rigctl::Action::SetSplitVfo);
            break;
        case rigctl::SetAction::Kind::ToneMode:
            Check(action == rigctl::Action::SetFunction);
            Check(answer.set->value >= 0 && answer.set->value <= 3);
            Check(!answer.set->uplink || radio.satellite);
            break;
        case rigctl::SetAction::Kind::Tone:
            Check(action == rigctl::Action::SetCtcssTone && cat::CtcssCode(answer.set->value));
            Check(!answer.set->uplink || radio.satellite);
            break;
        case rigctl::SetAction::Kind::DcsCode:
            Check(action == rigctl::Action::SetDcsCode && cat::IsDcsCode(answer.set->value));
            Check(!answer.set->uplink || radio.satellite);
            break;
        case rigctl::SetAction::Kind::Shift:
            Check(action == rigctl::Action::SetRepeaterShift);
            Check(answer.set->value >= -1 && answer.set->value <= 1);
            break;
        case rigctl::SetAction::Kind::Offset:
            Check(action == rigctl::Action::SetRepeaterOffset);
            Check(answer.set->value >= 0 && answer.set->value <= cat::kMaxRepeaterOffset);
            break;
        }
        sent = !sent;
        const std::string reply = rigctl::SetReply(request, sent ? ActionResult::Done : ActionResult::Refused);
        Check(!reply.empty() && reply.back() == '\n');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const RigSnapshot radio = RadioFrom(data[0]);
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    RequestLines lines;
    rigctl::Session session;
    const std::string plainPoll = PlainPoll(rigctl::Session{}, radio);
    bool sent = false;
    // Arrives in pieces of 1 to 64 bytes, cut where the input's own bytes say.
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), 1 + std::uint8_t(bytes.front()) % 64);
        for (const auto& line : lines.Feed(bytes.substr(0, piece))) {
            if (line.overlong) {
                Check(line.text.empty());
                Check(session.OverlongLineReply() == "RPRT -1\n");
                continue;
            }
            Check(line.text.size() <= RequestLines::kMaxLineBytes);
            Answer(session, line.text, radio, sent);
            Check(PlainPoll(session, radio) == plainPoll);
        }
        bytes.remove_prefix(piece);
    }
    return 0;
}
