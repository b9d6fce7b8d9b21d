#pragma once
// The client side of the sharing bench: loads that know nothing of the
// server under test but its loopback port.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class RigClient;

struct ClientStats {
    std::vector<double> ms; // request sent to its reply complete, per answered request
    int asked = 0;
    int answered = 0; // replies without an error
    int refused = 0;  // "RPRT -n"
    int timeouts = 0; // no whole reply within the client's time-out, or the connection lost
    int errors() const { return refused + timeouts; }
};

// One client sending `request` (see RigClient::ask) every `period` for
// `length` and reading `lines` reply lines each time; reconnects after a failure.
ClientStats AskEvery(int port, const std::string& request, int lines, std::chrono::milliseconds period,
                     std::chrono::milliseconds length);

// One client setting `count` new frequencies, each awaited to its RPRT for at
// most `replyBoundMs`, with pauses of 100 to 200 ms between them so that the
// sets meet the poll round at every phase. After `giveUpAfter` time-outs in a
// row (0: never) it stops asking, so a server that never answers costs a
// bounded time.
ClientStats SetFrequencies(int port, int count, int replyBoundMs = 2000, int giveUpAfter = 0);

// kClients clients, each asking `f` then `m` every 100 ms, their starts spread
// over the period. Connected up front, so that a window measures only the asking.
class Pollers {
public:
    static constexpr int kClients = 20;
    static constexpr std::chrono::milliseconds kPeriod{100};

    explicit Pollers(int port);
    ~Pollers();
    int connectFailures() const { return connectFailures_; }
    // Polls for `length`. In ms: the `f` latencies; answered counts f and m.
    ClientStats run(std::chrono::milliseconds length);
    // Polls in the background from start() until stop(), for a load under
    // another client's measurement; stop() returns what run() would.
    void start() { begin(std::chrono::steady_clock::time_point::max()); }
    ClientStats stop();

private:
    // Starts the pollers; none asks at or after `end`.
    void begin(std::chrono::steady_clock::time_point end);

    int port_;
    int connectFailures_ = 0;
    std::vector<std::unique_ptr<RigClient>> clients_;
    std::vector<ClientStats> each_;
    std::vector<std::thread> threads_;
    std::atomic<bool> polling_{false};
};
