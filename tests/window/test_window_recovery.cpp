// A first run that works, and recovery when the adapter comes back: the
// settings file as a person writes it, a device that is missing at start or
// vanishes and returns at the same path, and ports that are not retried.

#include "window_rig.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// The settings file written as text, the way a person (or the demo) does.
void WriteConfigText(const QByteArray& text)
{
    QFile file(ConfigFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

} // namespace

class TestWindowRecovery : public QObject {
    Q_OBJECT
private slots:
    void init() { QFile::remove(ConfigFilePath()); }

    void handWrittenSpeedOpensThePort_data()
    {
        QTest::addColumn<QByteArray>("speedLine");
        // Unquoted, QSettings reads a value with commas as a list.
        QTest::newRow("unquoted") << QByteArray("CommSpeed=9600,N,8,1");
        QTest::newRow("quoted") << QByteArray("CommSpeed=\"9600,N,8,1\"");
    }
    void handWrittenSpeedOpensThePort()
    {
        QFETCH(QByteArray, speedLine);
        WindowRig rig;
        QVERIFY(rig.sim.start());
        WriteConfigText("[Ports]\nCOM2=" + rig.sim.device().toLocal8Bit() + "\n\n[Settings]\nCommport=2\n"
                        + speedLine + "\n");
        rig.load();
        QCOMPARE(rig.messages.portMessages, 0);
        QVERIFY(rig.window->Link().PortOpen());
        QCOMPARE(rig.window->CommSettings(), QStringLiteral("9600,N,8,1"));
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.shutDown());
    }

    void damagedFileStillMapsThePortAndSaysWhy()
    {
        // A section header without its bracket makes the file unparseable.
        WindowRig rig;
        QVERIFY(rig.sim.start());
        WriteConfigText("[Ports]\nCOM2=" + rig.sim.device().toLocal8Bit() + "\n\n[Settings\nCommport=5\n");
        rig.load();
        QVERIFY(rig.window->Link().PortOpen()); // [Ports] was still read
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.shutDown());

        // With the mapped device gone, the message says why the port may be off.
        WindowRig second;
        WriteConfigText("[Ports]\nCOM2=/nonexistent/solvane-tty\n\n[Settings\nCommport=5\n");
        second.load();
        QCOMPARE(second.messages.portMessages, 1);
        QVERIFY2(second.messages.lastDetails.contains(QStringLiteral("/nonexistent/solvane-tty")),
                 qPrintable(second.messages.lastDetails));
        QVERIFY2(second.messages.lastDetails.contains(ConfigFilePath()), qPrintable(second.messages.lastDetails));
        QVERIFY(second.shutDown());
    }

    void replugAtTheSamePathResumesThePoll()
    {
        WindowRig rig;
        QVERIFY(rig.startLinked());
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.sim.unplug());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Link().PortOpen(), 3000);
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(rig.window->Radio().WatchingForDevice());
        const int from = rig.sim.loggedCommands().size();
        QVERIFY(rig.sim.replug());
        // Reopened with the stored settings, control taken, the poll going.
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Link().PortOpen(), 5000);
        QVERIFY(rig.waitForPolls(2));
        QCOMPARE(rig.commandsSince(from).first(), QStringLiteral("00 00 00 00 00"));
        QCOMPARE(rig.messages.dismissals, 1);
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(!rig.window->Radio().WatchingForDevice());
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.shutDown());
    }

    void deviceMissingAtStartIsOpenedWhenItAppears()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ft847"));
        WindowRig rig;
        WriteStore({{QStringLiteral("Ports/COM2"), link}});
        rig.load();
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(rig.window->Radio().WatchingForDevice());
        QVERIFY(rig.sim.start({QStringLiteral("--link"), link}));
        QVERIFY(rig.waitForReading(6000));
        QCOMPARE(rig.sim.loggedCommands().first(), QStringLiteral("00 00 00 00 00"));
        QVERIFY(rig.shutDown());
    }

    void otherFailuresAreNotRetried()
    {
        // There, but not a serial device: refused, and left to the user.
        QTemporaryDir dir;
        const QString notATty = dir.filePath(QStringLiteral("plain-file"));
        QFile file(notATty);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        WindowRig rig;
        WriteStore({{QStringLiteral("Ports/COM2"), notATty}});
        rig.load();
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(!rig.window->Radio().WatchingForDevice());
        QVERIFY(rig.shutDown());
    }
    void aDeviceBackButRefusingIsRetriedQuietly()
    {
        // Something appears at the adapter's path that cannot be opened yet
        // (here a plain file): tried again each second, with the one
        // message already shown left as it is.
        WindowRig rig;
        QVERIFY(rig.startLinked());
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.sim.unplug());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Radio().WatchingForDevice(), 3000);
        QFile stranger(rig.sim.linkPath());
        QVERIFY(stranger.open(QIODevice::WriteOnly));
        stranger.close();
        QVERIFY(rig.waitForTicks(25)); // two watch intervals and more
        QCOMPARE(rig.messages.portMessages, 1);
        QCOMPARE(rig.messages.dismissals, 0);
        QVERIFY(rig.window->Radio().WatchingForDevice());
        // The real adapter comes back at the path: opened, and the message goes.
        QVERIFY(QFile::remove(rig.sim.linkPath()));
        QVERIFY(rig.sim.replug());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Link().PortOpen(), 5000);
        QCOMPARE(rig.messages.dismissals, 1);
        QVERIFY(rig.shutDown());
    }

    void choosingAnotherPortStopsWatching()
    {
        WindowRig rig;
        QVERIFY(rig.startLinked());
        QVERIFY(rig.waitForReading());
        QVERIFY(rig.sim.unplug());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->Radio().WatchingForDevice(), 3000);

        SimProcess other;
        QVERIFY(other.start({QStringLiteral("--freq"), QStringLiteral("700000")}));
        WriteStore({{QStringLiteral("Ports/COM2"), rig.sim.linkPath()}, {QStringLiteral("Ports/COM4"), other.device()}});
        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        SettingsDialog* dialog = waitForDialog(*rig.window, 3000);
        QVERIFY(dialog);
        dialog->cboCommPort->setEditText(QStringLiteral("4"));
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.window->txtFreq->text(), QStringLiteral("7.000.00"), 3000);
        QVERIFY(!rig.window->Radio().WatchingForDevice());

        // The old adapter comes back: it stays alone.
        const int before = rig.sim.loggedCommands().size();
        QVERIFY(rig.sim.replug());
        QVERIFY(rig.waitForTicks(25)); // well past the watch interval
        QCOMPARE(rig.sim.loggedCommands().size(), before);
        QVERIFY(rig.window->Link().PortOpen());
        QVERIFY(rig.shutDown());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_recovery.moc"
