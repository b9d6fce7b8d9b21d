#include "satellite_measure.h"

#include "bench_server.h"
#include "network_measure.h"

#include <algorithm>
#include <thread>

SatelliteResults MeasureSatellite(BenchServer& server, bool started, int seconds)
{
    using Clock = std::chrono::steady_clock;
    SatelliteResults r;
    if (!started) {
        r.failure = server.failure();
        return r;
    }
    Pollers pollers(server.port());
    pollers.start();
    DuplexClient doppler(server.port());
    const int engageFrom = int(server.sim().loggedCommands().size());
    r.engageReply = doppler.engage();
    r.satelliteOnLine = SettledCount(server.sim(), engageFrom, QStringLiteral("4E"));

    const int from = int(server.sim().loggedCommands().size());
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    const auto period = std::chrono::milliseconds(SatelliteResults::kPeriodMs);
    for (auto next = start; Clock::now() < end; next += period) {
        // A late cycle starts at once; the next keeps the period from it.
        next = std::max(next, Clock::now());
        std::this_thread::sleep_until(next);
        const long n = doppler.stats().cycles + 1;
        doppler.cycle(SatelliteResults::kDownlinkHz + n * SatelliteResults::kDownlinkStepHz,
                      SatelliteResults::kUplinkHz + n * SatelliteResults::kUplinkStepHz);
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.opcodes = Opcodes(server.sim().loggedCommands().mid(from));
    r.downSetsOnLine = SettledCount(server.sim(), from, QStringLiteral("11"));
    r.upSetsOnLine = SettledCount(server.sim(), from, QStringLiteral("21"));
    r.pollers = pollers.stop();
    r.doppler = doppler.stats();
    r.overlaps = server.sim().loggedOverlaps();
    return r;
}
