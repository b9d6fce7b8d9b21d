#include "duplex_client.h"

#include <chrono>
#include <cstdio>

std::string DuplexSet(char command, long hz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%c %10.0f", command, double(hz));
    return text;
}

DuplexClient::DuplexClient(int port, int replyBoundMs) : port_(port), replyBoundMs_(replyBoundMs)
{
    client_.connectTo(port_, replyBoundMs_);
}

std::string DuplexClient::engage()
{
    const auto reply = client_.ask("S 1 Sub", 1);
    if (!client_.connected())
        client_.connectTo(port_, replyBoundMs_);
    return reply ? reply->first : std::string("no reply");
}

std::optional<RigClient::Reply> DuplexClient::ask(const std::string& request, ClientStats& into)
{
    ++into.asked;
    auto reply = client_.ask(request, 1);
    // As gpredict judges them: a set must answer RPRT 0, and a read whose
    // reply starts with RPRT failed.
    const bool set = request[0] == 'F' || request[0] == 'I';
    if (reply && (set ? reply->first == "RPRT 0" : reply->first.rfind("RPRT", 0) != 0)) {
        ++into.answered;
        return reply;
    }
    ++(reply ? into.refused : into.timeouts);
    if (stats_.firstError.empty())
        stats_.firstError = request + " -> " + (reply ? reply->first : "no reply");
    if (!client_.connected())
        client_.connectTo(port_, replyBoundMs_);
    return std::nullopt;
}

void DuplexClient::readBack(const char* request, long expected, bool afterSet)
{
    const auto reply = ask(request, stats_.reads);
    if (!afterSet || !reply)
        return;
    ++stats_.readBacks;
    if (reply->first == std::to_string(expected))
        ++stats_.readBacksEqual;
}

void DuplexClient::cycle(long downHz, long upHz)
{
    const auto start = std::chrono::steady_clock::now();
    ask("f", stats_.reads);
    const auto down = ask(DuplexSet('F', downHz), stats_.down);
    if (down)
        stats_.down.ms.push_back(down->ms);
    readBack("f", downHz, bool(down));
    ask("i", stats_.reads);
    const auto up = ask(DuplexSet('I', upHz), stats_.up);
    if (up)
        stats_.up.ms.push_back(up->ms);
    readBack("i", upHz, bool(up));
    ++stats_.cycles;
    stats_.cycleMs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}
