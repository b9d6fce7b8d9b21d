#pragma once
// Who gets the serial line next: a pure decision over what is waiting.
//
// The person at the radio goes first: the window queues a few commands at a
// time (a band is two, a frequency and a mode, which must not be split by a
// read), so everything it has waiting goes out together. The poll round
// comes next whenever it is due, so no amount of client work can starve it:
// it waits at most for the command already on the line. Network clients
// take turns, one command each, in a fixed circle, so a client that sends
// faster than the line carries only waits for its own next turn and nobody
// else waits for it.

#include <cstddef>
#include <vector>

struct LineDemand {
    bool pollDue = false;
    bool windowWaiting = false;
    std::vector<bool> clientWaiting; // one per client, in circle order
    std::size_t nextClient = 0;      // where in the circle the next turn starts
};

struct LineTurn {
    enum class Kind { Nothing, Poll, Window, Client };
    Kind kind = Kind::Nothing;
    std::size_t client = 0; // for Client: the index in LineDemand::clientWaiting

    bool operator==(const LineTurn&) const = default;
};

LineTurn NextTurn(const LineDemand& demand);
