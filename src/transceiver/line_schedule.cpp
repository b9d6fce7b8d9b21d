#include "line_schedule.h"

LineTurn NextTurn(const LineDemand& demand)
{
    if (demand.windowWaiting)
        return {LineTurn::Kind::Window};
    if (demand.pollDue)
        return {LineTurn::Kind::Poll};
    const std::size_t n = demand.clientWaiting.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = (demand.nextClient + k) % n;
        if (demand.clientWaiting[i])
            return {LineTurn::Kind::Client, i};
    }
    return {};
}
