#pragma once
// Cuts a connection's byte stream into request lines. Lines end in LF or
// CR LF. A line that grows past the limit is reported once, as soon as it
// does, and the rest of it up to its LF is dropped, so the connection stays
// usable and a client cannot make the server buffer without end.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class RequestLines {
public:
    static constexpr std::size_t kMaxLineBytes = 1024;

    struct Line {
        std::string text; // without its line end; empty when overlong
        bool overlong = false;
    };

    // The lines completed by these bytes, in order.
    std::vector<Line> Feed(std::string_view bytes);

private:
    std::string partial_;
    bool discarding_ = false; // inside an overlong line, until its LF
};
