#pragma once
// Who gets the serial line next: a pure decision over what is waiting.
//
// An unkey that must not wait (the transmitting program has gone, the time
// limit, the person's stop) goes before everything. The person at the radio
// comes next: the window queues a few commands at a time (a band is two, a
// frequency and a mode, which must not be split by a read), so everything it
// has waiting goes out together. The poll and the network clients then take
// turns: a poll round is several reads, each one a turn of its own, and
// after each read one waiting client command goes before the next read. So
// the poll never waits behind more than one client command and no client
// waits behind more than one read, however slow the radio is. Clients go in
// a fixed circle, one command each, so a client that sends faster than the
// line carries only waits for its own next turn and nobody else waits for it.

#include <cstddef>
#include <vector>

struct LineDemand {
    bool urgentWaiting = false;
    bool windowWaiting = false;
    bool pollDue = false;    // a read of the poll is waiting: the round's next, or a new round
    bool lastWasPoll = false; // the last turn on the line was a poll read
    std::vector<bool> clientWaiting; // one per client, in circle order
    std::size_t nextClient = 0;      // where in the circle the next turn starts
};

struct LineTurn {
    enum class Kind { Nothing, Urgent, Window, Poll, Client };
    Kind kind = Kind::Nothing;
    std::size_t client = 0; // for Client: the index in LineDemand::clientWaiting

    bool operator==(const LineTurn&) const = default;
};

LineTurn NextTurn(const LineDemand& demand);
