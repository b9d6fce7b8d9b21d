#pragma once
// gpredict's duplex Doppler cycle through a sharing server every 100 ms
// while 20 clients poll, with what the simulator's log shows for it.

#include "duplex_client.h"

#include <QMap>
#include <QString>

class BenchServer;

struct SatelliteResults {
    // gpredict's timer at 100 ms would lock to one phase of the poll's own
    // 100 ms round; 1 ms more walks the cycle across the round every 100
    // cycles, so the sets meet the round at every phase.
    static constexpr int kPeriodMs = 101;
    static constexpr long kDownlinkHz = 435900000, kDownlinkStepHz = -20; // each cycle
    static constexpr long kUplinkHz = 145900000, kUplinkStepHz = 10;

    QString failure;
    std::string engageReply; // to `S 1 Sub`
    int satelliteOnLine = 0; // 4E
    double seconds = 0;      // the cycles' window
    DuplexStats doppler;
    ClientStats pollers;
    QMap<QString, int> opcodes; // on the line in the window
    int downSetsOnLine = 0, upSetsOnLine = 0; // 11 and 21, once settled
    int overlaps = 0;

    int pollRounds() const { return opcodes.value(QStringLiteral("13")); }
};

SatelliteResults MeasureSatellite(BenchServer& server, bool started, int seconds);
