// Solvane benchmark: how quickly the display follows the radio, what the
// program costs in CPU and memory, how the memory file scales, and the
// sharing server beside rigctld: the many-client table (network_bench.cpp),
// a slow radio, transmitting and satellite Doppler. Prints tables; it
// asserts nothing. BENCH_SECONDS sets each CPU and many-client window
// (default 60); the options choosing tables are in bench_options.h, among
// them --quit-only, quitting after Speak.

#include "bench_options.h"
#include "bench_window.h"
#include "poll_cost.h"
#include "bench_table.h"
#include "key_child.h"
#include "line_settings.h"
#include "main_window.h"
#include "memory_file.h"
#include "network_bench.h"
#include "exit_race_bench.h"
#include "quit_bench.h"
#include "radio_report_bench.h"
#include "satellite_bench.h"
#include "slow_radio_bench.h"
#include "transmit_bench.h"
#include "qt_serial_port.h"
#include "settings_store.h"
#include "sim_process.h"
#include "sound_player.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QEventLoop>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0) : 0;
}

const Table& table()
{
    static const Table t({{"Measure", 56}, {"Solvane", 44}, {"Limit or goal", 60}});
    return t;
}

void row(const QString& what, const QString& measured, const QString& reference)
{
    table().row({what, measured, reference});
}

// Poll-round latency against the bytes on the line, with and without the
// quiet gap that ends each reply: tick start to the frequency shown (one
// 5-byte reply, one gap) and to the round's end (5 + 1 bytes, two gaps).
void latencyRows(int baud)
{
    SimProcess sim;
    sim.start({QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--smeter"), QStringLiteral("9")});
    MapPort(sim.device(), baud);
    BenchWindow b;
    b.start();
    b.window->Timer1().stop();
    b.waitIdle();
    std::vector<double> shownMs, roundMs;
    QElapsedTimer clock;
    bool finished = false;
    QObject::connect(b.window.get(), &MainWindow::statusShown, [&] { shownMs.push_back(clock.nsecsElapsed() / 1e6); });
    QObject::connect(&b.window->Radio(), &Transceiver::roundFinished, [&] {
        roundMs.push_back(clock.nsecsElapsed() / 1e6);
        finished = true;
    });
    for (int i = 0; i < 200; ++i) {
        finished = false;
        clock.start();
        b.window->Radio().PollNow();
        while (!finished && clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        b.waitIdle();
    }
    const double byteMs = 10.0 * 1000.0 / baud, gap = QuietGapMs(baud);
    auto line = [&](const char* what, const std::vector<double>& ms, int bytes, int gaps) {
        const double wire = bytes * byteMs, withGap = wire + gaps * gap;
        const double median = Percentile(ms, 0.5), p95 = Percentile(ms, 0.95);
        row(QStringLiteral("%1 at %2 baud (median / p95)").arg(QLatin1String(what)).arg(baud),
            QStringLiteral("%1 / %2 ms").arg(median, 0, 'f', 2).arg(p95, 0, 'f', 2),
            QStringLiteral("line %1 ms: x%2 / x%3; +gap %4 ms: x%5 / x%6")
                .arg(wire, 0, 'f', 2).arg(median / wire, 0, 'f', 2).arg(p95 / wire, 0, 'f', 2)
                .arg(withGap, 0, 'f', 2).arg(median / withGap, 0, 'f', 2).arg(p95 / withGap, 0, 'f', 2));
    };
    // The simulator carries both directions at the line rate: each command's
    // five bytes arrive before its reply starts.
    line("Tick to frequency shown", shownMs, 5 + 5, 1);
    line("Whole poll round (03 + E7 or F7)", roundMs, 5 + 5 + 5 + 1, 2);
    b.window->close();
    b.waitIdle();
}

void pollRateAndBurstRows()
{
    // Polls per second at 4800 baud with the real 100 ms timer.
    SimProcess sim;
    sim.start({QStringLiteral("--baud"), QStringLiteral("4800")});
    MapPort(sim.device(), 4800);
    BenchWindow b;
    int shown = 0;
    b.start();
    QObject::connect(b.window.get(), &MainWindow::statusShown, [&] { ++shown; });
    QTest::qWait(1000);
    const int before = shown;
    QTest::qWait(5000);
    row(QStringLiteral("Polls per second at 4800 baud"), QStringLiteral("%1").arg((shown - before) / 5.0, 0, 'f', 2),
        QStringLiteral("goal 10 (timer); 1.65 common"));

    // Command throughput: 100 band presses in a burst.
    b.window->Timer1().stop();
    b.waitIdle();
    const int from = sim.loggedCommands().size();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100; ++i)
        b.window->Command1_Click(i % 8);
    b.window->Timer1().stop();
    b.waitIdle();
    const double elapsed = clock.nsecsElapsed() / 1e6;
    sim.waitForLogLines(from + 200, 5000);
    const QStringList log = sim.loggedCommands().mid(from);
    int inOrder = 0;
    for (int i = 0; i + 1 < log.size() && i / 2 < 100; i += 2)
        if (log[i].endsWith(QLatin1String(" 01")) && log[i + 1].endsWith(QLatin1String(" 07")))
            ++inOrder;
    const bool overlap = std::any_of(log.begin(), log.end(), [](const QString& l) { return l.startsWith(QLatin1String("OVERLAP")); });
    // Each command counts as sent once its bits have left: the limit is the
    // line time of 200 x 5 bytes at 4800 baud.
    const double lineMs = 200 * 5 * 10 * 1000.0 / 4800;
    row(QStringLiteral("100 band presses (200 commands), 4800 baud"),
        QStringLiteral("%1 ms, %2/100 in order%3").arg(elapsed, 0, 'f', 1).arg(inOrder).arg(overlap ? ", OVERLAP" : ""),
        QStringLiteral("line %1 ms: x%2").arg(lineMs, 0, 'f', 0).arg(elapsed / lineMs, 0, 'f', 2));
    b.window->close();
    b.waitIdle();
}

// CPU of this process over `seconds` with the window shown and polling.
void cpuRow(const QString& what, const QStringList& simArgs, bool openPort, const char* goal, int seconds,
            bool withMemory = false)
{
    SimProcess sim;
    sim.start(simArgs);
    MapPort(openPort ? sim.device() : QStringLiteral("/nonexistent/solvane-bench"));
    BenchWindow b;
    b.start();
    b.window->show();
    RunFor(1000);
    const double cpu0 = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    RunFor(seconds * 1000);
    const double percent = 100.0 * (CpuSeconds() - cpu0) / (clock.elapsed() / 1000.0);
    row(what, QStringLiteral("%1 % of a core over %2 s").arg(percent, 0, 'f', 2).arg(seconds), QString::fromLatin1(goal));
    if (withMemory)
        row(QStringLiteral("Resident memory after polling"), QStringLiteral("%1 MB").arg(residentMb(), 0, 'f', 1),
            QStringLiteral("goal < 40 MB"));
    b.window->close();
    b.waitIdle();
}

// The polling rows on the platform this process runs on.
void pollingCpuRows(const QString& platform, int seconds, bool withMemory)
{
    cpuRow(QStringLiteral("CPU polling at 10 Hz, steady radio, %1").arg(platform),
           {QStringLiteral("--smeter"), QStringLiteral("9")}, true, "goal < 0.5 %", seconds, withMemory);
    cpuRow(QStringLiteral("CPU polling at 10 Hz, drifting S-meter, %1").arg(platform), {}, true, "goal < 0.5 %",
           seconds);
    WindowPollCostRows(platform, seconds, row);
}

// The same rows from a second run of this program under Xvfb, printed here.
void xvfbCpuRows(int seconds)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()) {
        row(QStringLiteral("CPU polling at 10 Hz, Xvfb"), QStringLiteral("not measured: no xvfb-run"), QString());
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"),
                                             QStringLiteral("-screen 0 1280x1024x24"),
                                             QCoreApplication::applicationFilePath(),
                                             QStringLiteral("--xcb-cpu-only")});
    if (!child.waitForFinished((2 * seconds + 60) * 1000)) {
        child.terminate();
        if (!child.waitForFinished(5000))
            child.kill();
        child.waitForFinished(3000);
        row(QStringLiteral("CPU polling at 10 Hz, Xvfb"), QStringLiteral("not measured: timed out"), QString());
        return;
    }
    const QStringList lines = QString::fromLocal8Bit(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    int rows = 0;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("| ")) && !line.startsWith(QLatin1String("| Measure"))) {
            std::printf("%s\n", qPrintable(line));
            ++rows;
        }
    if (rows == 0)
        row(QStringLiteral("CPU polling at 10 Hz, Xvfb"), QStringLiteral("not measured: exit %1").arg(child.exitCode()),
            QString());
    std::fflush(stdout);
}

void startUpRow()
{
    // Start-up: building the window to the first frequency shown.
    SimProcess sim;
    sim.start({});
    MapPort(sim.device());
    QElapsedTimer clock;
    clock.start();
    BenchWindow b;
    bool shown = false;
    b.window = std::make_unique<MainWindow>(MainWindowParts{b.port, b.store, b.messages, b.player, QString()});
    QObject::connect(b.window.get(), &MainWindow::statusShown, [&] { shown = true; });
    b.window->show();
    b.window->Form_Load();
    while (!shown && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    row(QStringLiteral("Start-up to first frequency shown"), QStringLiteral("%1 ms").arg(clock.nsecsElapsed() / 1e6, 0, 'f', 1),
        QStringLiteral("goal < 300 ms"));
    b.window->close();
    b.waitIdle();
}

void memoryFileRows()
{
    // Memory file: read and fill the list.
    QTemporaryDir dir;
    double previous = 0;
    for (int records : {1000, 10000, 100000}) {
        const QString path = dir.filePath(QStringLiteral("m%1.txt").arg(records));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        for (int i = 0; i < records; ++i)
            file.write(QStringLiteral("Channel %1,%2,USB\r\n").arg(i).arg(1800 + i % 50000).toLatin1());
        file.close();
        QComboBox combo;
        QElapsedTimer clock;
        clock.start();
        const auto channels = memories::LoadMemoryFile(path);
        QStringList names;
        names.reserve(channels.size());
        for (const auto& c : channels)
            names << c.name;
        combo.addItems(names);
        const double ms = clock.nsecsElapsed() / 1e6;
        row(QStringLiteral("Memory file, %1 records").arg(records),
            QStringLiteral("%1 ms, %2 listed%3").arg(ms, 0, 'f', 1).arg(combo.count())
                .arg(previous > 0 ? QStringLiteral(", x%1 for x10").arg(ms / previous, 0, 'f', 1) : QString()),
            records == 100000 ? QStringLiteral("goal < 200 ms") : QString());
        previous = ms;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // A child of --quit-only: it runs in the settings its parent made.
    if (!args.isEmpty() && args.first().startsWith(QLatin1String(kQuitChildOption)))
        return RunQuitChild(argc, argv, args.first().mid(int(std::strlen(kQuitChildOption))));
    const BenchOptions options = ParseBenchOptions(args);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "solvane-bench: %s\n", qPrintable(options.error));
        return 2;
    }
    if (options.keyChildPort > 0)
        return KeyChildMain(options.keyChildPort);

    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    if (!options.xcbCpu)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIntValue("BENCH_SECONDS") > 0 ? qEnvironmentVariableIntValue("BENCH_SECONDS") : 60;
    const QString solvane = QStringLiteral(SOLVANE_PATH);

    if (options.xcbCpu) {
        pollingCpuRows(QGuiApplication::platformName() == QLatin1String("xcb") ? QStringLiteral("Xvfb")
                                                                               : QGuiApplication::platformName(),
                       seconds, false);
        return 0;
    }
    if (options.dispatcher) {
        const int runs = qEnvironmentVariableIntValue("BENCH_RUNS");
        RunDispatcherBench(solvane, seconds, runs > 0 ? runs : 3);
    }
    if (options.quit) {
        const int runs = qEnvironmentVariableIntValue("BENCH_RUNS");
        RunQuitBench(QCoreApplication::applicationFilePath(), runs > 0 ? runs : 100);
    }
    if (options.window) {
        table().header();
        for (int baud : {4800, 9600, 57600})
            latencyRows(baud);
        pollRateAndBurstRows();
        pollingCpuRows(QStringLiteral("offscreen"), seconds, true);
        xvfbCpuRows(seconds);
        HeadlessPollCostRows(solvane, seconds, row);
        cpuRow(QStringLiteral("CPU waiting on a silent radio"), {QStringLiteral("--silent")}, true, "goal < 1 %", seconds);
        cpuRow(QStringLiteral("CPU idle, port closed"), {}, false, "goal < 0.2 %", seconds);
        startUpRow();
        memoryFileRows();
    }
    if (options.network)
        RunNetworkBench(solvane, seconds);
    if (options.slow)
        RunSlowRadioBench(solvane);
    if (options.transmit)
        RunTransmitBench(solvane, QCoreApplication::applicationFilePath(), seconds);
    if (options.satellite)
        RunSatelliteBench(solvane, seconds);
    if (options.radioReport)
        RunRadioReportBench(solvane);
    if (options.exitRace) {
        const int runs = qEnvironmentVariableIntValue("BENCH_RUNS");
        RunExitRaceBench(solvane, runs > 0 ? runs : 100);
    }
    return 0;
}
