#include "rigctl_protocol.h"

#include "rigctl_answers.h"

namespace rigctl {
namespace {

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

} // namespace

std::vector<Request> Session::Split(std::string_view line) const
{
    std::vector<Request> requests;
    Cursor in(line);
    in.SkipSpaces();
    if (in.AtEnd()) {
        requests.push_back(Request{nullptr, kInvalidArgument, {}, {}, {}});
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
                requests.push_back(Request{nullptr, kInvalidArgument, {}, style, {}});
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
            requests.push_back(Request{nullptr, kNotAvailable, {}, style, {}});
            break;
        }

        Request request{command, kOk, {}, style, {}};
        if (command->takesVfoWord && in.SpaceFollows() && IsVfoWord(in.PeekWord()))
            request.vfo = std::string(in.Word());
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
    return Format(Request{nullptr, kInvalidArgument, {}, {}, {}}, kInvalidArgument);
}

} // namespace rigctl
