// The settings dialog and the stored port settings, with a real settings
// file in a temporary directory and simulators on ptys mapped through "Ports".

#include "settings_dialog.h"
#include "window_rig.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

namespace {

QString fileText()
{
    // Another process reads the file: no cached view of this one's QSettings.
    QProcess cat;
    cat.start(QStringLiteral("cat"), {ConfigFilePath()});
    cat.waitForFinished(5000);
    return QString::fromUtf8(cat.readAllStandardOutput());
}


} // namespace

class TestWindowSettings : public QObject {
    Q_OBJECT
private slots:
    void init() { QFile::remove(ConfigFilePath()); }

    void firstRunDefaults()
    {
        QtSettingsStore store;
        const PortChoice choice = store.Load();
        QCOMPARE(choice.CommPortNumber, 2);
        QCOMPARE(choice.CommSettings, QStringLiteral("57600,N,8,1"));
        QVERIFY(store.PortsEntry(2).isEmpty());
    }

    void dialogLayout()
    {
        SettingsDialog dialog(4, QStringLiteral("9600,N,8,1"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Solvane - Settings"));
        QCOMPARE(dialog.size(), QSize(557, 266));
        QCOMPARE(dialog.Label1->text(), QStringLiteral("Comm <n>"));
        QCOMPARE(dialog.Label2->text(), QStringLiteral("Speed"));
        QCOMPARE(dialog.cboCommPort->currentText(), QStringLiteral("4"));
        QCOMPARE(dialog.cboCommSpeed->currentText(), QStringLiteral("9600,N,8,1"));
        QCOMPARE(dialog.cboCommPort->count(), 8);
        QCOMPARE(dialog.cboCommPort->itemText(7), QStringLiteral("8"));
        QCOMPARE(dialog.cboCommSpeed->count(), 3);
        QCOMPARE(dialog.cboCommSpeed->itemText(0), QStringLiteral("4800,N,8,1"));
        QVERIFY(dialog.cboCommPort->isEditable());
        QVERIFY(dialog.cboCommSpeed->isEditable());
        QCOMPARE(dialog.cmdOK->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.cmdCancel->text(), QStringLiteral("CANCEL"));
        QCOMPARE(dialog.cmdOK->geometry(), QRect(308, 148, 203, 59));
        QCOMPARE(dialog.font().family(), QStringLiteral("Courier New"));
        QVERIFY(dialog.font().bold());
        // The keyboard goes port, speed, OK, Cancel.
        QWidget* w = dialog.cboCommPort;
        QStringList order;
        for (int i = 0; i < 12 && order.size() < 4; ++i) {
            if (qobject_cast<QComboBox*>(w) || qobject_cast<QPushButton*>(w))
                if (!order.contains(w->objectName()))
                    order << w->objectName();
            w = w->nextInFocusChain();
        }
        QCOMPARE(order, (QStringList{"cboCommPort", "cboCommSpeed", "cmdOK", "cmdCancel"}));
    }

    void choosingAnotherPortMovesThePoll()
    {
        SimProcess second;
        QVERIFY(second.start({QStringLiteral("--freq"), QStringLiteral("14557500"), QStringLiteral("--mode"),
                              QStringLiteral("88")}));
        WindowRig rig;
        QVERIFY(rig.start());
        WriteStore({{QStringLiteral("Ports/COM2"), rig.sim.device()}, {QStringLiteral("Ports/COM3"), second.device()}});
        QVERIFY(rig.waitForReading());

        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        SettingsDialog* dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        QVERIFY(!rig.window->SettingsRequested());
        QVERIFY(!rig.window->Timer1().isActive());
        QVERIFY(dialog->cboCommPort->toolTip().contains(rig.sim.device()));
        dialog->cboCommPort->setEditText(QStringLiteral("3"));
        QVERIFY(dialog->cboCommPort->toolTip().contains(second.device()));
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!rig.window->Form2());
        QVERIFY(rig.window->Timer1().isActive());
        QCOMPARE(rig.window->CommPortNumber(), 3);
        QTRY_COMPARE(rig.window->txtFreq->text(), QStringLiteral("145.575.00"));
        QCOMPARE(rig.window->txtMode->text(), QStringLiteral("FM(N)"));
        QVERIFY(second.loggedCommands().contains(QStringLiteral("00 00 00 00 03")));
        QVERIFY(rig.shutDown());
        QTRY_COMPARE(second.loggedCommands().last(), QStringLiteral("00 00 00 00 80"));

        const QString text = fileText();
        QVERIFY2(text.contains(QStringLiteral("Commport=3")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("CommSpeed=\"57600,N,8,1\"")));
        QVERIFY(text.contains(QStringLiteral("COM3=") + second.device())); // other keys kept
        // The next start finds the choice again.
        QtSettingsStore fresh;
        QCOMPARE(fresh.Load().CommPortNumber, 3);
    }

    void failingPortKeepsTheDialogOpen()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        const QString before = fileText();
        rig.window->Form_DblClick();
        SettingsDialog* dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        dialog->cboCommPort->setEditText(QStringLiteral("7")); // maps to /dev/ttyS6: not here
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(dialog->isVisible());
        QVERIFY(!rig.window->Link().PortOpen());
        // A number no port can have is refused the same way.
        dialog->cboCommPort->setEditText(QStringLiteral("70000"));
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        QCOMPARE(rig.messages.portMessages, 2);
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
        QTRY_VERIFY(!rig.window->Form2());
        QVERIFY(!rig.window->Link().PortOpen());
        QVERIFY(rig.window->Timer1().isActive());
        QCOMPARE(rig.window->CommPortNumber(), 7); // the failed value stays for another try
        QVERIFY(rig.shutDown());
        QCOMPARE(fileText(), before); // nothing stored with no open port
    }

    void settingsEndsAWaitOnASilentRadio()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--silent")}));
        // Let a round start and hang on the read.
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        SettingsDialog* dialog = waitForDialog(*rig.window, 3000);
        QVERIFY(dialog);
        QVERIFY2(clock.elapsed() < RadioLink::ReplyTimeout, qPrintable(QString::number(clock.elapsed())));
        const int commands = rig.sim.loggedCommands().size();
        QTest::qWait(300);
        QCOMPARE(rig.sim.loggedCommands().size(), commands); // no poll while it is open
        QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
        QTRY_VERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.shutDown());
    }

    void doubleClickOnTheBackground()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        // Between the band row and the memory list nothing covers the window.
        const QPoint background(5, 5);
        QVERIFY(!rig.window->childAt(background));
        QTest::mouseDClick(rig.window.get(), Qt::LeftButton, Qt::NoModifier, background);
        SettingsDialog* dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        QVERIFY(!rig.window->Timer1().isActive());
        QTest::qWait(50);
        const int commands = rig.sim.loggedCommands().size();
        QTest::qWait(300);
        QCOMPARE(rig.sim.loggedCommands().size(), commands);
        QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
        QTRY_VERIFY(rig.window->Timer1().isActive());
        // A double-click on a control is not one on the background.
        QTest::mouseDClick(rig.window->txtFreq, Qt::LeftButton);
        QTest::qWait(50);
        QVERIFY(!rig.window->Form2());
        QVERIFY(rig.shutDown());
    }

    void unreadableStoreGivesDefaultsAndIsNotReplaced()
    {
        // A section header that never closes makes the file unparseable.
        {
            QFile file(ConfigFilePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Settings]\nCommport=4\n[Ports\nCOM2=/dev/ttyUSB0\n");
        }
        const QString before = fileText();
        QtSettingsStore store;
        QCOMPARE(store.Load().CommPortNumber, 2);
        store.Save({5, QStringLiteral("4800,N,8,1")});
        QCOMPARE(fileText(), before);
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_settings.moc"
