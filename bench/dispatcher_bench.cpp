// Solvane's headless server under the 20-client load with each of Qt's
// event dispatchers on Linux: GLib's (Qt's default) and Qt's own UNIX one
// (QT_NO_GLIB=1). Runs alternate between the two, as the machine's load
// drifts, and each prints its own row before the summary.

#include "network_bench.h"

#include "bench_server.h"
#include "bench_table.h"
#include "network_measure.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

QString Spread(const std::vector<double>& v, int decimals)
{
    if (v.empty())
        return QStringLiteral("-");
    return QStringLiteral("%1 (%2 to %3)")
        .arg(Percentile(v, 0.5), 0, 'f', decimals)
        .arg(*std::min_element(v.begin(), v.end()), 0, 'f', decimals)
        .arg(*std::max_element(v.begin(), v.end()), 0, 'f', decimals);
}

} // namespace

void RunDispatcherBench(const QString& solvaneProgram, int seconds, int runs)
{
    std::printf("\nsolvane --headless, %d clients polling f and m at 10 Hz for %d s, %d runs per dispatcher:\n\n",
                Pollers::kClients, seconds, runs);
    Table table({{"Run", 4}, {"Dispatcher", 22}, {"Server CPU", 18}, {"Requests answered", 18},
                 {"CPU per request", 16}});
    table.header();
    std::vector<double> us[2], percent[2];
    const char* names[2] = {"GLib (default)", "Qt UNIX (QT_NO_GLIB=1)"};
    for (int run = 1; run <= runs; ++run) {
        for (int i = 0; i < 2; ++i) {
            const bool noGlib = (run % 2 == 0) == (i == 0); // alternate which goes first
            BenchServer server;
            if (!server.startSolvane(solvaneProgram, {.headless = true, .qtNoGlib = noGlib})) {
                table.row({QString::number(run), QString::fromLatin1(names[noGlib]), server.failure()});
                continue;
            }
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const LoadWindow w = MeasureLoad(server, seconds);
            us[noGlib].push_back(w.cpuPerRequestUs());
            percent[noGlib].push_back(w.cpuPercent());
            table.row({QString::number(run), QString::fromLatin1(names[noGlib]),
                       QStringLiteral("%1 % of a core").arg(w.cpuPercent(), 0, 'f', 2),
                       QStringLiteral("%1 of %2").arg(w.pollers.answered).arg(w.pollers.asked),
                       QStringLiteral("%1 µs").arg(w.cpuPerRequestUs(), 0, 'f', 1)});
        }
    }
    std::printf("\n");
    Table summary({{"Dispatcher", 22}, {"CPU per request, median (range)", 34}, {"Server CPU %, median (range)", 30}});
    summary.header();
    for (int i = 0; i < 2; ++i)
        summary.row({QString::fromLatin1(names[i]), Spread(us[i], 1) + QStringLiteral(" µs"), Spread(percent[i], 2)});
    if (!us[0].empty() && !us[1].empty())
        std::printf("\nQt UNIX / GLib, CPU per request at the median: %.2f\n", Percentile(us[1], 0.5) / Percentile(us[0], 0.5));
}
