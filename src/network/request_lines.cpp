#include "request_lines.h"

std::vector<RequestLines::Line> RequestLines::Feed(std::string_view bytes)
{
    std::vector<Line> lines;
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline);
        const bool complete = newline != std::string_view::npos;
        bytes.remove_prefix(complete ? newline + 1 : bytes.size());

        if (discarding_) {
            discarding_ = !complete;
            continue;
        }
        partial_.append(piece);
        if (complete && !partial_.empty() && partial_.back() == '\r')
            partial_.pop_back();
        // A CR still waiting for its LF does not count against the limit.
        const bool crWaiting = !complete && !partial_.empty() && partial_.back() == '\r';
        const std::size_t length = partial_.size() - (crWaiting ? 1 : 0);
        if (length > kMaxLineBytes) {
            lines.push_back(Line{{}, true});
            partial_.clear();
            discarding_ = !complete;
            continue;
        }
        if (complete) {
            lines.push_back(Line{std::move(partial_), false});
            partial_.clear();
        }
    }
    return lines;
}
