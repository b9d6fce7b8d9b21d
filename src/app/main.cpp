// Solvane: FT-847 CAT control.

#include "command_line.h"
#include "main_window.h"
#include "qt_serial_port.h"
#include "qt_sound_player.h"
#include "qt_user_messages.h"
#include "rig_sharing.h"
#include "settings_store.h"
#include "solvane_version.h"
#include "termination_signals.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The command line is read before QApplication exists, so --help,
    // --version and usage errors need no display and never open a window.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLineOutcome parsed = ParseCommandLine(arguments, QStringLiteral(SOLVANE_VERSION));
    if (parsed.shouldExit()) {
        std::fputs(parsed.text.toLocal8Bit().constData(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    // --listen / --no-listen override [Network] for this run.
    const CommandLine commandLine = parsed.options;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Solvane"));
    QApplication::setOrganizationName(QStringLiteral("Solvane"));
    // Fusion honours the buttons' background colours on every platform.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QtSerialPort port;
    QtSettingsStore store;
    QtUserMessages messages;
    QtSoundPlayer player;
    const QString installedSounds =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../share/solvane/sounds"));

    MainWindow window({port, store, messages, player, QDir::cleanPath(installedSounds)});
    messages.setParentWindow(&window);
    window.show();
    window.Form_Load();
    CloseOnTerminationSignals(&window, [&window] { window.close(); });

    // Other programs share the radio through the same queue; the server
    // closes its connections before the window hands the radio back.
    RigSharing sharing(window.Radio());
    QObject::connect(&sharing, &RigSharing::statusChanged, &window, &MainWindow::ShowSharing);
    // Exit answers the clients' queued sets, then closes their connections,
    // then hands the radio back.
    QObject::connect(&window.Radio(), &Transceiver::shutdownStarted, &sharing, &RigSharing::Stop);
    const ListenPlan plan = PlanListening(store.LoadNetwork(), commandLine.noListen, commandLine.listenAddress,
                                          commandLine.listenPort);
    if (!sharing.Start(plan) && !sharing.Problem().isEmpty()) {
        std::fprintf(stderr, "solvane: %s\n", qPrintable(sharing.Problem()));
        messages.showNotice(sharing.Problem());
    }
    return app.exec();
}
