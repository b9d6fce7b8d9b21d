// Solvane: FT-847 CAT control.

#include "command_line.h"
#include "headless_station.h"
#include "leave_process.h"
#include "main_window.h"
#include "qt_serial_port.h"
#include "qt_sound_player.h"
#include "qt_user_messages.h"
#include "rig_sharing.h"
#include "settings_store.h"
#include "solvane_version.h"
#include "stderr_messages.h"
#include "termination_signals.h"
#include "windows_console.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kNothingToServeExit = 2; // as a usage error: a restart cannot help
constexpr int kCannotServeExit = 1;    // the port may be free again later

void NameTheApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Solvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Solvane"));
}

ListenPlan PlanFrom(SettingsStore& store, const CommandLine& commandLine)
{
    return PlanListening(store.LoadNetwork(), commandLine.noListen, commandLine.listenAddress,
                         commandLine.listenPort);
}

// [Transmit] for the server's clients; the transmitter's notices (why a
// transmission was stopped) go to standard error as well. Returns why
// keying is off, when a setting could not be read.
QString ApplyTransmitSettings(SettingsStore& store, RigSharing& sharing, Transceiver& radio)
{
    const TransmitPlan plan = PlanTransmit(store.LoadTransmit());
    sharing.ApplyTransmitPlan(plan);
    QObject::connect(&radio, &Transceiver::transmitNotice, [](const QString& text) { StderrMessages::Print(text); });
    if (!plan.problem.isEmpty())
        StderrMessages::Print(plan.problem);
    return plan.problem;
}

void ReportRefusals(RigSharing& sharing)
{
    // Once per address, and past a thousand addresses one summary a minute:
    // a scanner on the network can neither flood the log nor silence it.
    QObject::connect(&sharing, &RigSharing::connectionRefused,
                     [](const QString& message) { StderrMessages::Print(message); });
}

// The radio and the server with no window: for a shack computer with no
// screen, or a user service.
int RunHeadless(int argc, char* argv[], const CommandLine& commandLine)
{
    // Qt's own event loop rather than GLib's: about half the system calls and
    // a sixth less CPU per request measured, and with no window there is
    // nothing (a GTK theme, a GLib input method) that needs GLib's loop. A
    // QT_NO_GLIB the user set, even empty, is left as it is.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    ConnectConsole(true);
    QCoreApplication app(argc, argv);
    NameTheApplication();
    QtSerialPort port;
    QtSettingsStore store;
    StderrMessages messages;
    HeadlessStation station(port, store, messages);
    // Before the port opens: a SIGTERM during start-up still hands the radio back.
    CloseOnTerminationSignals(&station, [&station](std::function<void()> finished) {
        station.Stop([finished = std::move(finished)] {
            finished();
            QCoreApplication::quit();
        });
    });
    ReportRefusals(station.Sharing());
    ApplyTransmitSettings(store, station.Sharing(), station.Radio());
    // A radio that never answers: what to check, once per port opening.
    QObject::connect(&station.Radio(), &Transceiver::silenceHint,
                     [](const QString& text) { StderrMessages::Print(text); });
    const ListenPlan plan = PlanFrom(store, commandLine);
    if (!station.Start(plan)) {
        StderrMessages::Print(station.Problem());
        return plan.listen && plan.problem.isEmpty() ? kCannotServeExit : kNothingToServeExit;
    }
    if (const QString warning = plan.ExposureWarning(); !warning.isEmpty())
        StderrMessages::Print(warning);
    StderrMessages::Print(QStringLiteral("serving the radio: %1").arg(station.Sharing().Status()));
    const int status = app.exec();
    if (const QString problem = store.Flush(); !problem.isEmpty())
        StderrMessages::Print(problem);
    return status;
}

bool StyleGiven(const QStringList& qtOptions)
{
    return std::any_of(qtOptions.begin(), qtOptions.end(), [](const QString& option) {
        for (const char* name : {"-style", "--style"})
            if (option == QLatin1String(name) || option.startsWith(QLatin1String(name) + QLatin1Char('=')))
                return true;
        return false;
    });
}

int RunWindow(int argc, char* argv[], const CommandLine& commandLine)
{
    QApplication app(argc, argv);
    NameTheApplication();
    // Fusion honours the buttons' background colours on every platform,
    // unless the user asked for a style of their own with -style.
    if (!StyleGiven(commandLine.qtOptions))
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QtSerialPort port;
    QtSettingsStore store;
    QtUserMessages messages;
    QtSoundPlayer player;
    const QString installedSounds =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../share/solvane/sounds"));

    MainWindow window({port, store, messages, player, QDir::cleanPath(installedSounds)});
    messages.setParentWindow(&window);
    // Before the port opens: a SIGTERM during start-up still hands the radio back.
    CloseOnTerminationSignals(&window, [&window](std::function<void()> finished) {
        if (window.Unloaded()) {
            finished();
            return;
        }
        QObject::connect(&window, &MainWindow::unloadFinished, &window, std::move(finished),
                         Qt::SingleShotConnection);
        window.close();
    });

    // Other programs share the radio through its owner; Exit answers their
    // queued sets, closes their connections, then hands the radio back.
    RigSharing sharing(window.Radio());
    QObject::connect(&sharing, &RigSharing::statusChanged, &window, &MainWindow::ShowSharing);
    QObject::connect(&window.Radio(), &Transceiver::shutdownStarted, &sharing, &RigSharing::Stop);
    ReportRefusals(sharing);
    const QString transmitProblem = ApplyTransmitSettings(store, sharing, window.Radio());

    window.show();
    window.Form_Load();
    const ListenPlan plan = PlanFrom(store, commandLine);
    if (!sharing.Start(plan)) {
        if (!sharing.Problem().isEmpty()) {
            StderrMessages::Print(sharing.Problem());
            messages.showNotice(sharing.Problem());
        }
    } else if (const QString warning = plan.ExposureWarning(); !warning.isEmpty()) {
        StderrMessages::Print(warning);
        messages.showNotice(warning);
    }
    if (!transmitProblem.isEmpty())
        messages.showNotice(transmitProblem);
    const int status = app.exec();
    // The shutdown has stored the settings; make sure they are on disk, as
    // LeaveProcess skips anything that would still write them at exit.
    if (const QString problem = store.Flush(); !problem.isEmpty())
        StderrMessages::Print(problem);
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    // The command line is read before any application object exists, so
    // --help, --version and usage errors need no display and never open a
    // window. Qt's own options are left in argv for Qt.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLineOutcome parsed = ParseCommandLine(arguments, QStringLiteral(SOLVANE_VERSION));
    if (parsed.shouldExit()) {
        ConnectConsole(false);
        std::fputs(parsed.text.toLocal8Bit().constData(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    // --listen / --no-listen override [Network] for this run.
    // The headless server makes no sound player, so Qt's audio engine never
    // starts and a normal exit is safe.
    if (parsed.options.headless)
        return RunHeadless(argc, argv, parsed.options);
    LeaveProcess(RunWindow(argc, argv, parsed.options));
}
