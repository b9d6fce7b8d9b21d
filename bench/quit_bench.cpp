#include "quit_bench.h"

#include "bench_table.h"
#include "leave_process.h"
#include "main_window.h"
#include "qt_serial_port.h"
#include "qt_sound_player.h"
#include "qt_user_messages.h"
#include "settings_store.h"
#include "sim_process.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

// The child's own statuses, beside 0 (spoken, closed, stored).
constexpr int kNotSpoken = 3;
constexpr int kNotStored = 4;
// A child speaks for about five seconds; one that takes this long is hung.
constexpr int kChildBoundMs = 60000;
constexpr int kSpeakBoundMs = 30000;

// The window as RunWindow makes it, with the real sound player: Speak once
// the first frequency is shown, close once the sound has played out.
int SpeakThenClose(int argc, char** argv)
{
    QApplication app(argc, argv);
    QtSerialPort port;
    QtSettingsStore store;
    QtUserMessages messages;
    QtSoundPlayer player;
    MainWindow window({port, store, messages, player, QStringLiteral(SOLVANE_SOUNDS_DIR)});
    messages.setParentWindow(&window);

    bool pressed = false;
    qint64 spokenMs = 0;
    bool played = false;
    QObject::connect(&window, &MainWindow::statusShown, &window, [&] {
        if (pressed)
            return;
        pressed = true;
        QTimer::singleShot(0, &window, [&] {
            window.cmdSpeak->click();
            spokenMs = player.durationMs();
        });
    });
    QObject::connect(&player, &SoundPlayer::playbackFinished, &window, [&] {
        played = true;
        QTimer::singleShot(0, &window, &QWidget::close);
    });
    // A child that never gets to speak still closes, and its status says so.
    QTimer::singleShot(kSpeakBoundMs, &window, &QWidget::close);
    window.show();
    window.Form_Load();
    const int status = app.exec();
    if (!store.Flush().isEmpty())
        return kNotStored;
    return status == 0 && played && spokenMs > 0 ? 0 : kNotSpoken;
}

struct Tally {
    int quits = 0;
    int clean = 0;
    int aborted = 0;
    std::map<QString, int> others; // how the rest ended, and how often
    QString firstAbort;            // the last lines the first aborted child printed
};

QString SignalName(int signal)
{
    const char* name = sigabbrev_np(signal);
    return name ? QStringLiteral("SIG") + QLatin1String(name) : QStringLiteral("signal %1").arg(signal);
}

void RunChild(const QString& benchProgram, const QString& way, Tally& tally)
{
    QProcess child;
    child.setChildProcessModifier([] {
        // An abort is counted here; a core file for each would fill the disk.
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_CORE, &none);
    });
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(benchProgram, {QLatin1String(kQuitChildOption) + way});
    ++tally.quits;
    if (!child.waitForFinished(kChildBoundMs)) {
        child.kill();
        child.waitForFinished(5000);
        ++tally.others[QStringLiteral("hung")];
        return;
    }
    const int code = child.exitCode();
    if (child.exitStatus() == QProcess::CrashExit) {
        // Qt reports the terminating signal as the exit code of a crash.
        if (code != SIGABRT) {
            ++tally.others[SignalName(code)];
            return;
        }
        ++tally.aborted;
        if (tally.firstAbort.isEmpty()) {
            const QStringList lines = QString::fromLocal8Bit(child.readAll()).trimmed().split(QLatin1Char('\n'));
            tally.firstAbort = lines.sliced(std::max<qsizetype>(0, lines.size() - 3)).join(QLatin1Char('\n'));
        }
        return;
    }
    if (code == 0)
        ++tally.clean;
    else if (code == kNotSpoken)
        ++tally.others[QStringLiteral("status 3, not spoken")];
    else if (code == kNotStored)
        ++tally.others[QStringLiteral("status 4, settings not written")];
    else
        ++tally.others[QStringLiteral("status %1").arg(code)];
}

QString Others(const Tally& tally)
{
    QStringList parts;
    for (const auto& [what, count] : tally.others)
        parts << QStringLiteral("%1 %2").arg(count).arg(what);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

bool PulseReachable()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER") && pactl.waitForFinished(5000)
           && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

} // namespace

int RunQuitChild(int argc, char** argv, const QString& way)
{
    const int status = SpeakThenClose(argc, argv);
    if (way == QLatin1String("leave"))
        LeaveProcess(status);
    return status;
}

void RunQuitBench(const QString& benchProgram, int runs)
{
    std::printf("\nQuitting after Speak: %d children each way, taking turns, each with the real sound player on\n"
                "PulseAudio and the window on the simulator, closed once the readout has played out.\n\n",
                runs);
    const Table table({{"Leaving after Speak", 40}, {"Quits", 5}, {"Status 0", 8}, {"SIGABRT", 7}, {"Other ends", 34}});
    table.header();
    if (!PulseReachable()) {
        table.row({QStringLiteral("not measured: no PulseAudio server; run under scripts/with-pulseaudio.sh")});
        return;
    }
    SimProcess sim;
    if (!sim.start()) {
        table.row({QStringLiteral("not measured: the simulator did not start")});
        return;
    }
    {
        // Port 2 on the simulator, in the settings directory main made.
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Solvane"));
        settings.clear();
        settings.setValue(QStringLiteral("Ports/COM2"), sim.device());
        settings.sync();
    }
    const std::pair<const char*, const char*> ways[] = {
        {"return", "return from main (exit handlers run)"},
        {"leave", "LeaveProcess (stdio flushed, _Exit)"},
    };
    Tally tallies[2];
    for (int run = 0; run < runs; ++run) {
        for (int w = 0; w < 2; ++w)
            RunChild(benchProgram, QLatin1String(ways[w].first), tallies[w]);
        if ((run + 1) % 10 == 0)
            std::fprintf(stderr, "quit bench: %d of %d each way\n", run + 1, runs);
    }
    for (int w = 0; w < 2; ++w)
        table.row({QLatin1String(ways[w].second), QString::number(tallies[w].quits), QString::number(tallies[w].clean),
                   QString::number(tallies[w].aborted), Others(tallies[w])});
    for (const Tally& tally : tallies)
        if (!tally.firstAbort.isEmpty())
            std::printf("\nThe first abort's last words:\n%s\n", qPrintable(tally.firstAbort));
    std::fflush(stdout);
}
