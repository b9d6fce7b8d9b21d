#include "bench_options.h"

BenchOptions ParseBenchOptions(const QStringList& args)
{
    BenchOptions options;
    struct Table {
        const char* option;
        bool BenchOptions::*selects;
    };
    static const Table tables[] = {
        {"--window-only", &BenchOptions::window},       {"--network-only", &BenchOptions::network},
        {"--slow-only", &BenchOptions::slow},           {"--transmit-only", &BenchOptions::transmit},
        {"--satellite-only", &BenchOptions::satellite}, {"--xcb-cpu-only", &BenchOptions::xcbCpu},
        {"--dispatcher-only", &BenchOptions::dispatcher}, {"--quit-only", &BenchOptions::quit},
        {"--report-only", &BenchOptions::radioReport},  {"--exit-race-only", &BenchOptions::exitRace},
    };
    bool chosen = false;
    BenchOptions only;
    for (const Table& t : tables)
        only.*(t.selects) = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--")))
            continue;
        if (arg == QLatin1String("--key-child")) {
            bool ok = false;
            const int port = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
            if (!ok || port < 1 || port > 65535) {
                options.error = QStringLiteral("--key-child needs a TCP port from 1 to 65535");
                return options;
            }
            options.keyChildPort = port;
            ++i;
            continue;
        }
        const Table* found = nullptr;
        for (const Table& t : tables)
            if (arg == QLatin1String(t.option))
                found = &t;
        if (!found) {
            options.error = QStringLiteral("unknown option %1").arg(arg);
            return options;
        }
        only.*(found->selects) = true;
        chosen = true;
    }
    if (chosen) {
        only.keyChildPort = options.keyChildPort;
        return only;
    }
    return options;
}
