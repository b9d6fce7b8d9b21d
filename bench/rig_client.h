#pragma once
// A minimal blocking client of the rigctl text protocol for the benchmark:
// plain loopback sockets, one per thread, every read bounded by a time-out.

#include <optional>
#include <string>

class RigClient {
public:
    RigClient() = default;
    ~RigClient();
    RigClient(const RigClient&) = delete;
    RigClient& operator=(const RigClient&) = delete;

    // Connects to 127.0.0.1:port; replies are waited for at most `timeoutMs`.
    bool connectTo(int port, int timeoutMs = 2000);
    bool connected() const { return fd_ >= 0; }

    struct Reply {
        double ms = 0;       // request sent to its last reply line read
        std::string first;   // the first reply line
        bool error = false;  // an "RPRT -n" came back
    };
    // Sends `request` (lines without the last LF; "f\nm" sends two requests
    // in one write) and reads `lines` reply lines, or fewer when an "RPRT"
    // line ends the reply. Nothing on a time-out or a closed connection,
    // after which the client is closed.
    std::optional<Reply> ask(const std::string& request, int lines);

    void close();

private:
    bool readLine(std::string& line);

    int fd_ = -1;
    std::string buffer_;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();
