// Solvane's headless server under the 20-client load with each of Qt's
// event dispatchers on Linux: GLib's (Qt's default) and Qt's own UNIX one
// (QT_NO_GLIB=1). The machine's speed drifts from minute to minute, so in
// each run both servers, each with its own simulator and clients, are
// measured at the same time, and the ratio is taken within the run. CPU time
// is shown as utime + stime and as schedstat's exact time on a CPU.

#include "network_bench.h"

#include "bench_server.h"
#include "bench_table.h"
#include "network_measure.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

QString Spread(const std::vector<double>& v, const char* unit, int decimals)
{
    if (v.empty())
        return QStringLiteral("-");
    return QStringLiteral("%1 (%2 to %3)%4")
        .arg(Percentile(v, 0.5), 0, 'f', decimals)
        .arg(*std::min_element(v.begin(), v.end()), 0, 'f', decimals)
        .arg(*std::max_element(v.begin(), v.end()), 0, 'f', decimals)
        .arg(QString::fromUtf8(unit));
}

QString Us(double us) { return QStringLiteral("%1 µs").arg(us, 0, 'f', 1); }

} // namespace

void RunDispatcherBench(const QString& solvaneProgram, int seconds, int runs)
{
    std::printf("\nsolvane --headless with GLib's event dispatcher and with QT_NO_GLIB=1, side by side at the same\n"
                "time, %d clients each polling f and m at 10 Hz for %d s; %d runs. Server CPU per answered request:\n\n",
                Pollers::kClients, seconds, runs);
    Table table({{"Run", 4}, {"Answered (GLib / Qt)", 22}, {"GLib, utime+stime", 18}, {"Qt UNIX, utime+stime", 20},
                 {"GLib, schedstat", 16}, {"Qt UNIX, schedstat", 18}, {"Qt / GLib", 10}});
    table.header();
    std::vector<double> glib, qtUnix, ratio;
    for (int run = 1; run <= runs; ++run) {
        BenchServer servers[2];
        bool started = true;
        for (int noGlib = 0; noGlib < 2; ++noGlib)
            started = started && servers[noGlib].startSolvane(solvaneProgram, {.headless = true, .dispatcher = noGlib == 1 ? SolvaneLaunch::Dispatcher::Qt : SolvaneLaunch::Dispatcher::GLib});
        if (!started) {
            table.row({QString::number(run), servers[0].failure() + servers[1].failure()});
            continue;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        LoadWindow w[2];
        std::thread other([&] { w[1] = MeasureLoad(servers[1], seconds); });
        w[0] = MeasureLoad(servers[0], seconds);
        other.join();
        glib.push_back(w[0].runPerRequestUs());
        qtUnix.push_back(w[1].runPerRequestUs());
        ratio.push_back(glib.back() > 0 ? qtUnix.back() / glib.back() : 0);
        table.row({QString::number(run), QStringLiteral("%1 / %2").arg(w[0].pollers.answered).arg(w[1].pollers.answered),
                   Us(w[0].cpuPerRequestUs()), Us(w[1].cpuPerRequestUs()), Us(w[0].runPerRequestUs()),
                   Us(w[1].runPerRequestUs()), QStringLiteral("%1").arg(ratio.back(), 0, 'f', 2)});
    }
    std::printf("\nschedstat, median (range): GLib %s, Qt UNIX %s; Qt / GLib within a run %s\n",
                qPrintable(Spread(glib, " µs", 1)), qPrintable(Spread(qtUnix, " µs", 1)),
                qPrintable(Spread(ratio, "", 2)));
}
