#include "network_phases.h"

#include "rig_client.h"

#include <algorithm>
#include <optional>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Asks once, counting the outcome; a failed client is connected again.
// Returns the reply's time when it came back without an error.
std::optional<double> Ask(RigClient& client, int port, const std::string& request, int lines, ClientStats& s,
                          int replyBoundMs = 2000)
{
    ++s.asked;
    const auto reply = client.ask(request, lines);
    if (!reply) {
        ++s.timeouts;
    } else if (reply->error) {
        ++s.refused;
        client.close(); // the rest of a multi-request reply would be read as the next one
    } else {
        ++s.answered;
        return reply->ms;
    }
    if (!client.connected())
        client.connectTo(port, replyBoundMs);
    return std::nullopt;
}

} // namespace

ClientStats AskEvery(int port, const std::string& request, int lines, std::chrono::milliseconds period,
                     std::chrono::milliseconds length)
{
    ClientStats s;
    RigClient client;
    client.connectTo(port);
    const auto end = Clock::now() + length;
    for (auto next = Clock::now(); next < end; next += period) {
        std::this_thread::sleep_until(next);
        if (const auto ms = Ask(client, port, request, lines, s))
            s.ms.push_back(*ms);
    }
    return s;
}

ClientStats SetFrequencies(int port, int count, int replyBoundMs, int giveUpAfter)
{
    ClientStats s;
    std::mt19937 random(847);
    std::uniform_int_distribution<int> pauseMs(100, 200);
    RigClient client;
    client.connectTo(port, replyBoundMs);
    for (int i = 0, timeoutsInARow = 0; i < count; ++i) {
        const int timeoutsBefore = s.timeouts;
        // 14.074.000 Hz and up in 1 kHz steps: each set differs from the last.
        if (const auto ms = Ask(client, port, "F " + std::to_string(14074000 + (i + 1) * 1000), 1, s, replyBoundMs))
            s.ms.push_back(*ms);
        timeoutsInARow = s.timeouts > timeoutsBefore ? timeoutsInARow + 1 : 0;
        if (giveUpAfter > 0 && timeoutsInARow >= giveUpAfter)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
    }
    return s;
}

Pollers::Pollers(int port) : port_(port)
{
    for (int i = 0; i < kClients; ++i) {
        clients_.push_back(std::make_unique<RigClient>());
        if (!clients_.back()->connectTo(port))
            ++connectFailures_;
    }
}

Pollers::~Pollers() { stop(); }

ClientStats Pollers::run(std::chrono::milliseconds length)
{
    const auto end = Clock::now() + length;
    begin(end);
    std::this_thread::sleep_until(end);
    return stop();
}

void Pollers::begin(Clock::time_point end)
{
    if (polling_.exchange(true))
        return;
    each_.assign(kClients, ClientStats{});
    const auto start = Clock::now();
    for (int i = 0; i < kClients; ++i) {
        threads_.emplace_back([this, start, end, i] {
            RigClient& client = *clients_[size_t(i)];
            ClientStats& s = each_[size_t(i)];
            for (auto next = start + i * kPeriod / kClients;; next += kPeriod) {
                // A late round starts at once; the next keeps the period from it.
                next = std::max(next, Clock::now());
                std::this_thread::sleep_until(next);
                if (!polling_ || Clock::now() >= end)
                    break;
                if (const auto ms = Ask(client, port_, "f", 1, s))
                    s.ms.push_back(*ms);
                Ask(client, port_, "m", 2, s);
            }
        });
    }
}

ClientStats Pollers::stop()
{
    polling_ = false;
    for (std::thread& t : threads_)
        t.join();
    threads_.clear();
    ClientStats all;
    for (const ClientStats& s : each_) {
        all.ms.insert(all.ms.end(), s.ms.begin(), s.ms.end());
        all.asked += s.asked;
        all.answered += s.answered;
        all.refused += s.refused;
        all.timeouts += s.timeouts;
    }
    return all;
}
