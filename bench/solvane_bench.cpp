// Solvane benchmark: how quickly the display follows the radio, what the
// program costs in CPU and memory, and how the memory file scales. Prints a
// table; it asserts nothing. BENCH_SECONDS sets each CPU window (default 60).

#include "main_window.h"
#include "memory_file.h"
#include "qt_serial_port.h"
#include "settings_store.h"
#include "sim_process.h"
#include "sound_player.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QEventLoop>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class NoPlayer final : public SoundPlayer {
public:
    bool append(const QString&) override { return false; }
    void play() override {}
    void stop() override {}
    qint64 durationMs() const override { return 0; }
};

class NoMessages final : public UserMessages {
public:
    void showPortNotAvailable(const QString&) override {}
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0) : 0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

void mapPort(const QString& device)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Solvane"));
    settings.clear();
    settings.setValue(QStringLiteral("Ports/COM2"), device);
    settings.sync();
}

struct Bench {
    QtSerialPort port;
    QtSettingsStore store;
    NoMessages messages;
    NoPlayer player;
    std::unique_ptr<MainWindow> window;

    void start()
    {
        window = std::make_unique<MainWindow>(MainWindowParts{port, store, messages, player, QString()});
        window->Form_Load();
    }
    void waitIdle()
    {
        QElapsedTimer clock;
        clock.start();
        while (window->Link().Busy() && clock.elapsed() < 5000)
            QTest::qWait(1);
    }
};

// Lets the program run for `ms` without the benchmark waking it: QTest::qWait
// slices its wait into 10 ms steps, which would be counted as Solvane's CPU.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void row(const char* what, const QString& measured, const QString& reference)
{
    std::printf("| %-44s | %-30s | %-34s |\n", what, qPrintable(measured), qPrintable(reference));
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIntValue("BENCH_SECONDS") > 0 ? qEnvironmentVariableIntValue("BENCH_SECONDS") : 60;

    std::printf("| %-44s | %-30s | %-34s |\n", "Measure", "Solvane", "Limit or goal");
    std::printf("|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(32, '-').c_str(), std::string(36, '-').c_str());

    // Poll-round latency: tick start to the display holding the reply.
    for (int baud : {4800, 9600, 57600}) {
        SimProcess sim;
        sim.start({QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--smeter"), QStringLiteral("9")});
        mapPort(sim.device());
        Bench b;
        b.start();
        b.window->Timer1().stop();
        b.waitIdle();
        std::vector<double> ms;
        QElapsedTimer clock;
        bool shown = false;
        QObject::connect(b.window.get(), &MainWindow::statusShown, [&] {
            ms.push_back(clock.nsecsElapsed() / 1e6);
            shown = true;
        });
        for (int i = 0; i < 200; ++i) {
            shown = false;
            clock.start();
            b.window->Timer1_Timer();
            while (!shown && clock.elapsed() < 1000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            b.waitIdle();
        }
        // The five reply bytes of the frequency read at 10 bits a byte.
        const double limit = 5 * 10.0 * 1000.0 / baud;
        const double median = percentile(ms, 0.5), p95 = percentile(ms, 0.95);
        row(qPrintable(QStringLiteral("Poll-round latency at %1 baud (median, p95)").arg(baud)),
            QStringLiteral("%1 / %2 ms").arg(median, 0, 'f', 2).arg(p95, 0, 'f', 2),
            QStringLiteral("line %1 ms; ratio %2 / %3").arg(limit, 0, 'f', 2).arg(median / limit, 0, 'f', 2).arg(p95 / limit, 0, 'f', 2));
        b.window->close();
        b.waitIdle();
    }

    {
        // Polls per second at 4800 baud with the real 100 ms timer.
        SimProcess sim;
        sim.start({QStringLiteral("--baud"), QStringLiteral("4800")});
        mapPort(sim.device());
        Bench b;
        int shown = 0;
        b.start();
        QObject::connect(b.window.get(), &MainWindow::statusShown, [&] { ++shown; });
        QTest::qWait(1000);
        const int before = shown;
        QTest::qWait(5000);
        row("Polls per second at 4800 baud", QStringLiteral("%1").arg((shown - before) / 5.0, 0, 'f', 2),
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
        // Commands are not paced by the simulator: the limit is 200 x 5 bytes at 4800 baud.
        row("100 band presses (200 commands), pty",
            QStringLiteral("%1 ms, %2/100 in order%3").arg(elapsed, 0, 'f', 1).arg(inOrder).arg(overlap ? ", OVERLAP" : ""),
            QStringLiteral("line %1 ms if paced at 4800").arg(200 * 5 * 10 * 1000.0 / 4800, 0, 'f', 0));
        b.window->close();
        b.waitIdle();
    }

    auto cpuRow = [&](const char* what, const QStringList& simArgs, bool openPort, const char* goal) {
        SimProcess sim;
        sim.start(simArgs);
        mapPort(openPort ? sim.device() : QStringLiteral("/nonexistent/solvane-bench"));
        Bench b;
        b.start();
        runFor(500);
        const double cpu0 = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        runFor(seconds * 1000);
        const double percent = 100.0 * (cpuSeconds() - cpu0) / (clock.elapsed() / 1000.0);
        row(what, QStringLiteral("%1 % of a core over %2 s").arg(percent, 0, 'f', 2).arg(seconds), QString::fromLatin1(goal));
        if (openPort && simArgs.isEmpty())
            row("Resident memory after polling", QStringLiteral("%1 MB").arg(residentMb(), 0, 'f', 1), QStringLiteral("goal < 40 MB"));
        b.window->close();
        b.waitIdle();
    };
    cpuRow("CPU polling at 10 Hz", {}, true, "goal < 1 %");
    cpuRow("CPU waiting on a silent radio", {QStringLiteral("--silent")}, true, "goal < 1 %");
    cpuRow("CPU idle, port closed", {}, false, "goal < 0.2 %");

    {
        // Start-up: building the window to the first frequency shown.
        SimProcess sim;
        sim.start({});
        mapPort(sim.device());
        QElapsedTimer clock;
        clock.start();
        Bench b;
        bool shown = false;
        b.window = std::make_unique<MainWindow>(MainWindowParts{b.port, b.store, b.messages, b.player, QString()});
        QObject::connect(b.window.get(), &MainWindow::statusShown, [&] { shown = true; });
        b.window->show();
        b.window->Form_Load();
        while (!shown && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        row("Start-up to first frequency shown", QStringLiteral("%1 ms").arg(clock.nsecsElapsed() / 1e6, 0, 'f', 1),
            QStringLiteral("goal < 300 ms"));
        b.window->close();
        b.waitIdle();
    }

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
        row(qPrintable(QStringLiteral("Memory file, %1 records").arg(records)),
            QStringLiteral("%1 ms, %2 listed%3").arg(ms, 0, 'f', 1).arg(combo.count())
                .arg(previous > 0 ? QStringLiteral(", x%1 for x10").arg(ms / previous, 0, 'f', 1) : QString()),
            records == 100000 ? QStringLiteral("goal < 200 ms") : QString());
        previous = ms;
    }
    return 0;
}
