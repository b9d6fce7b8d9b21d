#pragma once
// gpredict's "Duplex TRX" rig control as one client on one connection: `S 1
// Sub` once, then each cycle `f`, `F <downlink>`, `f`, `i`, `I <uplink>`,
// `i`, every request awaiting its reply, with the frequencies printed as
// gpredict prints them ("%10.0f": `F  435900000`).

#include "network_phases.h"
#include "rig_client.h"

#include <string>

// "F  435900000": the command letter, a space and the frequency in "%10.0f".
std::string DuplexSet(char command, long hz);

struct DuplexStats {
    int cycles = 0;
    std::vector<double> cycleMs; // a whole cycle of six requests
    ClientStats down, up;        // F and I: sent to RPRT 0
    ClientStats reads;           // f and i
    int readBacks = 0;           // reads after a set answered RPRT 0
    int readBacksEqual = 0;      // of those, the ones reporting the frequency just set
    std::string firstError;      // the first request refused or unanswered, with its reply
    int errors() const { return down.errors() + up.errors() + reads.errors(); }
};

class DuplexClient {
public:
    explicit DuplexClient(int port, int replyBoundMs = 2000);
    bool connected() const { return client_.connected(); }
    // `S 1 Sub`: its reply line, or "no reply".
    std::string engage();
    // One cycle tuning the downlink to `downHz` and the uplink to `upHz`.
    void cycle(long downHz, long upHz);
    const DuplexStats& stats() const { return stats_; }

private:
    std::optional<RigClient::Reply> ask(const std::string& request, ClientStats& into);
    void readBack(const char* request, long expected, bool afterSet);

    int port_;
    int replyBoundMs_;
    RigClient client_;
    DuplexStats stats_;
};
