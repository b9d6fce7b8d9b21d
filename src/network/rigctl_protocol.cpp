#include "rigctl_protocol.h"

#include "cat_protocol.h"
#include "rigctl_dump_state.h"
#include "rigctl_modes.h"
#include "rigctl_numbers.h"
#include "rigctl_smeter.h"

namespace rigctl {
namespace {

constexpr std::string_view kOnlyVfo = "VFOA";

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsPrefix(char c)
{
    return c == '+' || c == ';' || c == '|' || c == ',';
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Reads a request line front to back.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return text_[pos_]; }
    void Advance() { ++pos_; }
    bool SpaceFollows() const { return !AtEnd() && IsSpace(Peek()); }

    void SkipSpaces()
    {
        while (!AtEnd() && IsSpace(Peek()))
            ++pos_;
    }

    std::string_view Take(bool (*belongs)(char))
    {
        const std::size_t start = pos_;
        while (!AtEnd() && belongs(Peek()))
            ++pos_;
        return text_.substr(start, pos_ - start);
    }
    std::string_view Name() { return Take(IsNameChar); }
    std::string_view Word()
    {
        SkipSpaces();
        return Take([](char c) { return !IsSpace(c); });
    }
    std::string_view PeekWord() const
    {
        Cursor copy = *this;
        return copy.Word();
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string ReportLine(int code)
{
    return "RPRT " + std::to_string(code);
}

// One reply in the request's style: bare values (or "RPRT n") when plain;
// header, labelled values and "RPRT n" when extended.
std::string Format(const Request& request, int code, const std::vector<std::string>& values = {})
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

Answer Reply(const Request& request, int code, const std::vector<std::string>& values = {})
{
    return Answer{Format(request, code, values), std::nullopt, false};
}

bool ReadingWithin(const RigSnapshot& radio, std::int64_t ageMs)
{
    return radio.portOpen && radio.haveReading && radio.readingAgeMs >= 0 && radio.readingAgeMs <= ageMs;
}

Answer GetFrequency(const Request& request, const RigSnapshot& radio)
{
    if (!ReadingWithin(radio, kFreshReadingMs))
        return Reply(request, kTimeout);
    return Reply(request, kOk, {std::to_string(static_cast<std::int64_t>(radio.frequency10Hz) * 10)});
}

Answer GetMode(const Request& request, const RigSnapshot& radio)
{
    if (!ReadingWithin(radio, kFreshReadingMs))
        return Reply(request, kTimeout);
    const auto mode = ModeOfCode(radio.modeCode);
    if (!mode)
        return Reply(request, kProtocolError);
    return Reply(request, kOk, {std::string(mode->word), std::to_string(mode->passbandHz)});
}

Answer GetLevel(const Request& request, const RigSnapshot& radio)
{
    const std::string& level = request.arguments[0];
    if (level != "RAWSTR" && level != "STRENGTH")
        return Reply(request, kNotAvailable);
    if (!ReadingWithin(radio, kFreshReadingMs))
        return Reply(request, kTimeout);
    const int raw = radio.sMeterRaw < 0 ? 0 : (radio.sMeterRaw > kMeterMaxRaw ? kMeterMaxRaw : radio.sMeterRaw);
    return Reply(request, kOk, {std::to_string(level == "RAWSTR" ? raw : StrengthDb(raw))});
}

Answer SetFrequency(const Request& request, const RigSnapshot& radio)
{
    const auto frequency = ParseFrequency10Hz(request.arguments[0]);
    if (!frequency || !cat::InTuningRange(*frequency))
        return Reply(request, kInvalidArgument);
    if (!radio.portOpen)
        return Reply(request, kIoError);
    return Answer{{}, SetAction{SetAction::Kind::Frequency, *frequency, 0}, false};
}

Answer SetMode(const Request& request, const RigSnapshot& radio)
{
    const auto passband = ParseInteger(request.arguments[1]);
    if (!passband)
        return Reply(request, kInvalidArgument);
    const auto code = CodeForSetMode(request.arguments[0], *passband, radio.modeCode);
    if (!code)
        return Reply(request, kInvalidArgument);
    if (!radio.portOpen)
        return Reply(request, kIoError);
    return Answer{{}, SetAction{SetAction::Kind::Mode, 0, *code}, false};
}

// The radio is driven on VFO A only; naming it (or "the current one") is fine.
Answer SetVfo(const Request& request)
{
    const std::string& vfo = request.arguments[0];
    if (vfo == kOnlyVfo || vfo == "currVFO")
        return Reply(request, kOk);
    return Reply(request, IsVfoWord(vfo) ? kNotAvailable : kInvalidArgument);
}

// Solvane never keys the transmitter: only "receive" is accepted.
Answer SetPtt(const Request& request)
{
    const auto ptt = ParseInteger(request.arguments[0]);
    if (ptt == 0L)
        return Reply(request, kOk);
    if (ptt && *ptt >= 1 && *ptt <= 3)
        return Reply(request, kNotAvailable);
    return Reply(request, kInvalidArgument);
}

Answer SetSplitVfo(const Request& request)
{
    const auto split = ParseInteger(request.arguments[0]);
    if (split == 1L)
        return Reply(request, kNotAvailable);
    if (split == 0L && IsVfoWord(request.arguments[1]))
        return Reply(request, kOk);
    return Reply(request, kInvalidArgument);
}

} // namespace

std::vector<Request> Session::Split(std::string_view line) const
{
    std::vector<Request> requests;
    Cursor in(line);
    in.SkipSpaces();
    if (in.AtEnd()) {
        requests.push_back(Request{nullptr, kInvalidArgument, {}, {}});
        return requests;
    }
    while (true) {
        in.SkipSpaces();
        if (in.AtEnd())
            break;
        ReplyStyle style; // plain unless this request has its own prefix
        if (IsPrefix(in.Peek())) {
            style = ReplyStyle{true, in.Peek() == '+' ? '\n' : in.Peek()};
            in.Advance();
            if (in.AtEnd() || IsSpace(in.Peek())) {
                requests.push_back(Request{nullptr, kInvalidArgument, {}, style});
                break;
            }
        }

        const CommandInfo* command = nullptr;
        if (in.Peek() == '\\') {
            in.Advance();
            command = FindLong(in.Name());
        } else {
            command = FindShort(in.Peek());
            in.Advance();
        }
        if (!command) {
            requests.push_back(Request{nullptr, kNotAvailable, {}, style});
            break;
        }

        Request request{command, kOk, {}, style};
        if (command->skipsVfoWord && in.SpaceFollows() && IsVfoWord(in.PeekWord()))
            in.Word();
        for (std::size_t i = 0; i < command->ArgumentCount(); ++i) {
            const std::string_view word = in.Word();
            if (word.empty()) {
                request.error = kInvalidArgument;
                break;
            }
            request.arguments.emplace_back(word);
        }
        const bool lastOnLine = request.error != kOk || command->action == Action::Quit;
        requests.push_back(std::move(request));
        if (lastOnLine)
            break;
    }
    return requests;
}

std::string Session::OverlongLineReply()
{
    return Format(Request{nullptr, kInvalidArgument, {}, {}}, kInvalidArgument);
}

Answer Respond(const Request& request, const RigSnapshot& radio)
{
    if (!request.command || request.error != kOk)
        return Reply(request, request.error != kOk ? request.error : kInvalidArgument);

    switch (request.command->action) {
    case Action::GetFrequency:
        return GetFrequency(request, radio);
    case Action::SetFrequency:
        return SetFrequency(request, radio);
    case Action::GetMode:
        return GetMode(request, radio);
    case Action::SetMode:
        return SetMode(request, radio);
    case Action::GetVfo:
        return Reply(request, kOk, {std::string(kOnlyVfo)});
    case Action::SetVfo:
        return SetVfo(request);
    case Action::GetPtt:
        return Reply(request, kOk, {"0"});
    case Action::SetPtt:
        return SetPtt(request);
    case Action::GetSplitVfo:
        return Reply(request, kOk, {"0", std::string(kOnlyVfo)});
    case Action::SetSplitVfo:
        return SetSplitVfo(request);
    case Action::GetLevel:
        return GetLevel(request, radio);
    case Action::GetPowerStatus:
        return Reply(request, kOk, {ReadingWithin(radio, kPoweredSilenceMs) ? "1" : "0"});
    case Action::CheckVfo:
        return Reply(request, kOk, {"0"});
    case Action::GetLockMode:
        return Reply(request, kOk, {"0"});
    case Action::DumpState:
        return Reply(request, kOk, DumpStateLines());
    case Action::Quit:
        return Answer{Format(request, kOk), std::nullopt, true};
    }
    return Reply(request, kNotAvailable);
}

std::string SetReply(const Request& request, bool sent)
{
    return Format(request, sent ? kOk : kIoError);
}

} // namespace rigctl
