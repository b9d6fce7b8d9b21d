// The answers to each request: reads from the radio's snapshot, and the
// actions a set becomes for the radio's turns on the line.

#include "rigctl_answers.h"

#include "cat_protocol.h"
#include "rigctl_dump_state.h"
#include "rigctl_fm_answers.h"
#include "rigctl_modes.h"
#include "rigctl_numbers.h"
#include "rigctl_smeter.h"

#include <algorithm>
#include <charconv>

namespace rigctl {
namespace {

constexpr std::string_view kOnlyVfo = "VFOA";

std::string ReportLine(int code)
{
    return "RPRT " + std::to_string(code);
}

Answer Reply(const Request& request, int code, const std::vector<std::string>& values = {})
{
    return Answer{Format(request, code, values), std::nullopt, false};
}

Answer Act(const RigAction& action)
{
    return Answer{{}, action, false};
}

bool ReadingWithin(const RigSnapshot& radio, std::int64_t ageMs)
{
    return radio.portOpen && radio.haveReading && radio.readingAgeMs >= 0 && radio.readingAgeMs <= ageMs;
}

bool Within(std::int64_t ageMs, std::int64_t limitMs) { return ageMs >= 0 && ageMs <= limitMs; }

// The meter is read after the frequency in each round: a frequency fresh
// on its own does not make the meter so.
bool MeterFresh(const RigSnapshot& radio) { return radio.portOpen && Within(radio.meterAgeMs, kFreshReadingMs); }

// The receiver's status (E7: squelch and S-meter) and the transmitter's
// (F7: on the air and its meter), each from its own reply.
bool RxStatusFresh(const RigSnapshot& radio) { return radio.portOpen && Within(radio.rxStatusAgeMs, kFreshReadingMs); }
bool TxStatusFresh(const RigSnapshot& radio) { return radio.portOpen && Within(radio.txStatusAgeMs, kFreshReadingMs); }

// The S-meter comes with the receiver's status, which the poll reads every
// other round; while the radio transmits only the transmitter's is read, and
// the last S-meter stands as long as that is fresh.
bool SMeterFresh(const RigSnapshot& radio) { return radio.transmitting ? MeterFresh(radio) : RxStatusFresh(radio); }

// A level the protocol carries as a float, written as the C library's %f
// in the "C" locale ("0.516129"), whatever the program's locale.
std::string FloatLevel(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr;
    return std::string(text, end);
}

// The split commands, and a transmit VFO word, address the uplink: in
// satellite mode its own VFO; outside it the radio has no split, and reads
// answer the main VFO as such a radio shows.
bool AddressesUplink(const Request& request)
{
    switch (request.command->action) {
    case Action::GetSplitFrequency:
    case Action::SetSplitFrequency:
    case Action::GetSplitMode:
    case Action::SetSplitMode:
        return true;
    default:
        return NamesTransmitVfo(request.vfo);
    }
}

// What a read of the VFO a request addresses answers: a value, or why not.
struct VfoView {
    int frequencyError = kOk; // kOk: answered from the values below
    int modeError = kOk;
    std::int32_t frequency10Hz = 0;
    std::uint8_t modeCode = 0;
};

VfoView ViewOf(const Request& request, const RigSnapshot& radio)
{
    const bool uplink = radio.satellite && AddressesUplink(request);
    VfoView view{kOk, kOk, uplink ? radio.uplinkFrequency10Hz : radio.frequency10Hz,
                 uplink ? radio.uplinkModeCode : radio.modeCode};
    if (!radio.answers) {
        // What was set is the reading, however old; a VFO nothing was set
        // on has nothing to answer, and no read can bring it.
        const auto error = [&](bool have) { return !radio.portOpen ? kTimeout : have ? kOk : kNotAvailable; };
        view.frequencyError = error(uplink ? radio.haveUplinkReading : radio.haveReading);
        view.modeError = error(uplink ? radio.haveUplinkMode : radio.haveMode);
        return view;
    }
    const bool fresh = uplink ? radio.portOpen && radio.haveUplinkReading && Within(radio.uplinkAgeMs, kFreshReadingMs)
                              : ReadingWithin(radio, kFreshReadingMs);
    view.frequencyError = view.modeError = fresh ? kOk : kTimeout;
    return view;
}

Answer GetFrequency(const Request& request, const RigSnapshot& radio)
{
    const VfoView vfo = ViewOf(request, radio);
    if (vfo.frequencyError != kOk)
        return Reply(request, vfo.frequencyError);
    return Reply(request, kOk, {std::to_string(static_cast<std::int64_t>(vfo.frequency10Hz) * 10)});
}

Answer GetMode(const Request& request, const RigSnapshot& radio)
{
    const VfoView vfo = ViewOf(request, radio);
    if (vfo.modeError != kOk)
        return Reply(request, vfo.modeError);
    const auto mode = ModeOfCode(vfo.modeCode);
    if (!mode)
        return Reply(request, kProtocolError);
    return Reply(request, kOk, {std::string(mode->word), std::to_string(mode->passbandHz)});
}

Answer GetLevel(const Request& request, const RigSnapshot& radio)
{
    const std::string& level = request.arguments[0];
    // A radio that cannot answer has no meter to read.
    if (!radio.answers)
        return Reply(request, kNotAvailable);
    if (level == "ALC") {
        // The transmitter's meter, from 0 to 1; nothing drives it on receive.
        if (!TxStatusFresh(radio))
            return Reply(request, kTimeout);
        const int raw = radio.transmitting ? std::clamp(radio.powerOutRaw, 0, kMeterMaxRaw) : 0;
        return Reply(request, kOk, {FloatLevel(double(raw) / kMeterMaxRaw)});
    }
    if (level != "RAWSTR" && level != "STRENGTH")
        return Reply(request, kNotAvailable);
    if (!SMeterFresh(radio))
        return Reply(request, kTimeout);
    const int raw = radio.sMeterRaw < 0 ? 0 : (radio.sMeterRaw > kMeterMaxRaw ? kMeterMaxRaw : radio.sMeterRaw);
    return Reply(request, kOk, {std::to_string(level == "RAWSTR" ? raw : StrengthDb(raw))});
}

// The squelch open: something is heard. Nothing is while the radio transmits.
Answer GetDcd(const Request& request, const RigSnapshot& radio)
{
    if (!radio.answers)
        return Reply(request, kNotAvailable); // its squelch cannot be read
    if (radio.transmitting)
        return Reply(request, kOk, {"0"});
    if (!RxStatusFresh(radio))
        return Reply(request, kTimeout);
    return Reply(request, kOk, {radio.squelchOpen ? "1" : "0"});
}

// A set of the VFO the request addresses: the uplink only in satellite mode.
Answer Retune(const Request& request, const RigSnapshot& radio, RigAction action)
{
    action.uplink = AddressesUplink(request);
    if (action.uplink && !radio.satellite)
        return Reply(request, kNotAvailable);
    if (!radio.portOpen)
        return Reply(request, kIoError);
    return Act(action);
}

Answer SetFrequency(const Request& request, const RigSnapshot& radio)
{
    const auto frequency = ParseFrequency10Hz(request.arguments[0]);
    if (!frequency || !cat::InTuningRange(*frequency))
        return Reply(request, kInvalidArgument);
    RigAction action;
    action.kind = RigAction::Kind::Frequency;
    action.frequency10Hz = *frequency;
    return Retune(request, radio, action);
}

Answer SetMode(const Request& request, const RigSnapshot& radio)
{
    const auto passband = ParseInteger(request.arguments[1]);
    if (!passband)
        return Reply(request, kInvalidArgument);
    const auto code = CodeForSetMode(request.arguments[0], *passband,
                                     AddressesUplink(request) ? radio.uplinkModeCode : radio.modeCode);
    if (!code)
        return Reply(request, kInvalidArgument);
    RigAction action;
    action.kind = RigAction::Kind::Mode;
    action.modeCode = *code;
    return Retune(request, radio, action);
}

// The radio is driven on VFO A only; naming it (or "the current one") is fine.
Answer SetVfo(const Request& request)
{
    const std::string& vfo = request.arguments[0];
    if (vfo == kOnlyVfo || vfo == "currVFO")
        return Reply(request, kOk);
    return Reply(request, IsVfoWord(vfo) ? kNotAvailable : kInvalidArgument);
}

// Any non-zero PTT value keys: the radio has one CAT PTT and picks its
// transmit audio itself. Who may key is decided at the key's turn.
Answer SetPtt(const Request& request, const RigSnapshot& radio)
{
    const auto ptt = ParseInteger(request.arguments[0]);
    if (!ptt || *ptt < 0 || *ptt > 3)
        return Reply(request, kInvalidArgument);
    if (*ptt == 0 && !radio.transmitting)
        return Reply(request, kOk); // nothing to release
    if (!radio.portOpen)
        return Reply(request, kIoError);
    RigAction action;
    action.kind = *ptt == 0 ? RigAction::Kind::Unkey : RigAction::Kind::Key;
    return Act(action);
}

// Split is the radio's satellite mode: receive on one VFO, transmit on another.
Answer SetSplitVfo(const Request& request, const RigSnapshot& radio)
{
    const auto split = ParseInteger(request.arguments[0]);
    if ((split != 0L && split != 1L) || !IsVfoWord(request.arguments[1]))
        return Reply(request, kInvalidArgument);
    if (!radio.portOpen)
        return Reply(request, kIoError);
    RigAction action;
    action.kind = RigAction::Kind::Satellite;
    action.on = split == 1L;
    action.txVfo = request.arguments[1];
    return Act(action);
}

Answer GetSplitVfo(const Request& request, const RigSnapshot& radio)
{
    if (radio.satellite)
        return Reply(request, kOk, {"1", radio.satelliteTxVfo});
    return Reply(request, kOk, {"0", std::string(kOnlyVfo)});
}

// Clients that would name a VFO in every request are asked not to.
Answer SetVfoOption(const Request& request)
{
    const auto status = ParseInteger(request.arguments[0]);
    if (status == 0L)
        return Reply(request, kOk);
    return Reply(request, status == 1L ? kNotAvailable : kInvalidArgument);
}

} // namespace

std::string Format(const Request& request, int code, const std::vector<std::string>& values)
{
    const CommandInfo* command = request.command;
    if (!request.style.extended) {
        if (code != kOk || values.empty())
            return ReportLine(code) + '\n';
        std::string reply;
        for (const auto& value : values)
            reply += value + '\n';
        if (command && command->reportAfterValues)
            reply += ReportLine(kOk) + '\n';
        return reply;
    }

    std::vector<std::string> records;
    if (command) {
        std::string header(command->longName);
        header += ':';
        for (const auto& argument : request.arguments)
            header += ' ' + argument;
        records.push_back(std::move(header));
    }
    if (code == kOk) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::string_view label = command && i < command->values.size() ? command->values[i] : "";
            records.push_back(label.empty() ? values[i] : std::string(label) + ": " + values[i]);
        }
    }
    records.push_back(ReportLine(code));

    std::string reply;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0)
            reply += request.style.separator;
        reply += records[i];
    }
    return reply + '\n';
}

Answer Respond(const Request& request, const RigSnapshot& radio)
{
    if (!request.command || request.error != kOk)
        return Reply(request, request.error != kOk ? request.error : kInvalidArgument);

    switch (request.command->action) {
    case Action::GetFrequency:
    case Action::GetSplitFrequency:
        return GetFrequency(request, radio);
    case Action::SetFrequency:
    case Action::SetSplitFrequency:
        return SetFrequency(request, radio);
    case Action::GetMode:
    case Action::GetSplitMode:
        return GetMode(request, radio);
    case Action::SetMode:
    case Action::SetSplitMode:
        return SetMode(request, radio);
    case Action::GetVfo:
        return Reply(request, kOk, {std::string(kOnlyVfo)});
    case Action::SetVfo:
        return SetVfo(request);
    case Action::GetPtt:
        return Reply(request, kOk, {radio.transmitting ? "1" : "0"});
    case Action::SetPtt:
        return SetPtt(request, radio);
    case Action::GetSplitVfo:
        return GetSplitVfo(request, radio);
    case Action::SetSplitVfo:
        return SetSplitVfo(request, radio);
    case Action::SetVfoOption:
        return SetVfoOption(request);
    case Action::GetLevel:
        return GetLevel(request, radio);
    case Action::GetPowerStatus:
        // A radio that cannot answer is taken to be on: Hamlib's clients
        // from 4.6 on refuse to set a radio that reports itself off.
        if (!radio.answers)
            return Reply(request, kOk, {radio.portOpen ? "1" : "0"});
        return Reply(request, kOk, {ReadingWithin(radio, kPoweredSilenceMs) ? "1" : "0"});
    case Action::CheckVfo:
        return Reply(request, kOk, {"0"});
    case Action::GetLockMode:
        return Reply(request, kOk, {"0"});
    case Action::GetDcd:
        return GetDcd(request, radio);
    case Action::SetFunction:
    case Action::SetCtcssTone:
    case Action::SetDcsCode:
    case Action::SetRepeaterShift:
    case Action::SetRepeaterOffset:
    case Action::GetFmSetting:
        return RespondFm(request, radio);
    case Action::DumpState:
        return Reply(request, kOk, DumpStateLines());
    case Action::Quit:
        return Answer{Format(request, kOk), std::nullopt, true};
    }
    return Reply(request, kNotAvailable);
}

std::string SetReply(const Request& request, ActionResult result)
{
    switch (result) {
    case ActionResult::Done: return Format(request, kOk);
    case ActionResult::NotSent: return Format(request, kIoError);
    case ActionResult::Refused: return Format(request, kRejected);
    case ActionResult::NotAvailable: return Format(request, kNotAvailable);
    }
    return Format(request, kIoError);
}

bool WantsFreshReading(const Request& request, const RigSnapshot& radio)
{
    // A radio that cannot answer brings no fresher reading however long one waits.
    if (!request.command || request.error != kOk || !radio.portOpen || !radio.answers)
        return false;
    switch (request.command->action) {
    case Action::GetFrequency:
    case Action::GetMode:
    case Action::GetSplitFrequency:
    case Action::GetSplitMode:
        return ViewOf(request, radio).frequencyError != kOk;
    case Action::GetLevel:
        return request.arguments[0] == "ALC" ? !TxStatusFresh(radio) : !SMeterFresh(radio);
    case Action::GetDcd:
        return !radio.transmitting && !RxStatusFresh(radio);
    case Action::GetPowerStatus:
        return !ReadingWithin(radio, kFreshReadingMs);
    default:
        return false;
    }
}

} // namespace rigctl
