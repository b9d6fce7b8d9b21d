#include "line_schedule.h"

namespace {

LineTurn NextClient(const LineDemand& demand)
{
    const std::size_t n = demand.clientWaiting.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = (demand.nextClient + k) % n;
        if (demand.clientWaiting[i])
            return {LineTurn::Kind::Client, i};
    }
    return {};
}

} // namespace

LineTurn NextTurn(const LineDemand& demand)
{
    if (demand.urgentWaiting)
        return {LineTurn::Kind::Urgent};
    if (demand.windowWaiting)
        return {LineTurn::Kind::Window};
    const LineTurn client = NextClient(demand);
    // A read has just had the line: a waiting client goes before the next.
    if (demand.pollDue && (!demand.lastWasPoll || client.kind == LineTurn::Kind::Nothing))
        return {LineTurn::Kind::Poll};
    return client;
}
