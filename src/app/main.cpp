// Solvane: FT-847 CAT control.

#include "main_window.h"
#include "qt_serial_port.h"
#include "qt_sound_player.h"
#include "qt_user_messages.h"
#include "settings_store.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

int main(int argc, char* argv[])
{
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
    return app.exec();
}
