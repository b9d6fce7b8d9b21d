// The settings dialog and the stored port settings, with a real settings
// file in a temporary directory and simulators on ptys mapped through "Ports".

#include "loopback_client.h"
#include "settings_dialog.h"
#include "window_rig.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

QString fileText()
{
    // Another process reads the file: no cached view of this one's QSettings.
    QProcess cat;
    cat.start(QStringLiteral("cat"), {ConfigFilePath()});
    cat.waitForFinished(5000);
    return QString::fromUtf8(cat.readAllStandardOutput());
}

// While the dialog is open the poll is stopped and the line falls idle;
// nothing goes out until Cancel closes it.
void expectNoPollWhileOpen(WindowRig& rig, SettingsDialog* dialog)
{
    QVERIFY(!rig.window->Timer1().isActive());
    QTRY_VERIFY(!rig.window->Link().Busy());
    QSignalSpy exchanges(&rig.window->Link(), &RadioLink::exchangeFinished);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QVERIFY(!rig.window->Timer1().isActive());
    QVERIFY(!rig.window->Link().Busy());
    QVERIFY(exchanges.isEmpty());
    QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
}

// Types `text` over what the focused box holds, as a user would: select
// all, then one key at a time.
void retype(QComboBox* box, const QString& text)
{
    QTRY_COMPARE(QApplication::focusWidget(), box);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
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
        // Checked, and whole between the speed and the buttons.
        QCOMPARE(dialog.chkAnswers->text(), QStringLiteral("Radio answers (clear for an FT-847 before serial 8G05)"));
        QVERIFY(dialog.chkAnswers->isChecked());
        dialog.ensurePolished();
        QVERIFY(dialog.chkAnswers->sizeHint().width() <= dialog.chkAnswers->width());
        QVERIFY(dialog.chkAnswers->y() > dialog.cboCommSpeed->geometry().bottom()
                && dialog.chkAnswers->geometry().bottom() < dialog.cmdOK->y());
        // The keyboard goes port, speed, answers, OK, Cancel.
        QWidget* w = dialog.cboCommPort;
        QStringList order;
        for (int i = 0; i < 12 && order.size() < 5; ++i) {
            if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractButton*>(w))
                if (!order.contains(w->objectName()))
                    order << w->objectName();
            w = w->nextInFocusChain();
        }
        QCOMPARE(order, (QStringList{"cboCommPort", "cboCommSpeed", "chkAnswers", "cmdOK", "cmdCancel"}));
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
        // Port 7 names a path in a fresh directory: no device can be there.
        const QTemporaryDir nowhere;
        WriteStore({{QStringLiteral("Ports/COM2"), rig.sim.device()},
                    {QStringLiteral("Ports/COM7"), nowhere.filePath(QStringLiteral("absent/ft847"))}});
        QVERIFY(rig.waitForReading());
        const QString before = fileText();
        rig.window->Form_DblClick();
        SettingsDialog* dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        dialog->cboCommPort->setEditText(QStringLiteral("7"));
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        // The old port closes once a read still leaving it has left.
        QTRY_COMPARE(rig.messages.portMessages, 1);
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

    void returnKeepsWhatWasTypedAndMeansOk()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        // Ports 1 and 9 lead nowhere: a typed "2" turned into "1" fails loudly.
        const QTemporaryDir nowhere;
        WriteStore({{QStringLiteral("Ports/COM1"), nowhere.filePath(QStringLiteral("absent/ft847"))},
                    {QStringLiteral("Ports/COM2"), rig.sim.device()},
                    {QStringLiteral("Ports/COM9"), nowhere.filePath(QStringLiteral("absent/ft847"))}});
        QVERIFY(rig.waitForReading());

        QTest::keyClick(rig.window->cmdSettings, Qt::Key_Space);
        SettingsDialog* dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        QTRY_COMPARE(QApplication::focusWidget(), dialog->cboCommPort);
        QPointer<SettingsDialog> alive(dialog);
        const int commands = rig.sim.loggedCommands().size();
        retype(dialog->cboCommPort, QStringLiteral("2"));
        // Tab selects the speed box's text; Return must not put a list
        // entry in its place.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->cboCommSpeed);
        QCOMPARE(dialog->cboCommSpeed->lineEdit()->selectedText(), QStringLiteral("57600,N,8,1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!alive);
        QCOMPARE(rig.messages.portMessages, 0);
        QCOMPARE(rig.window->CommPortNumber(), 2);
        QCOMPARE(rig.window->CommSettings(), QStringLiteral("57600,N,8,1"));
        // OK reopened the port and the poll goes on there.
        QTRY_VERIFY(rig.commandsSince(commands).contains(QStringLiteral("00 00 00 00 03")));
        QVERIFY(rig.window->Link().PortOpen());
        QVERIFY(rig.window->Timer1().isActive());

        // Return in the port box itself, with a number the list does not hold.
        rig.window->Form_DblClick();
        dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        alive = dialog;
        retype(dialog->cboCommPort, QStringLiteral("9"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(rig.messages.portMessages, 1);
        QVERIFY(alive && dialog->isVisible());
        QCOMPARE(rig.window->CommPortNumber(), 9);
        // Once more with the text selected: it stays 9, not the list's first entry.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(rig.messages.portMessages, 2);
        QCOMPARE(dialog->cboCommPort->currentText(), QStringLiteral("9"));
        QCOMPARE(rig.window->CommPortNumber(), 9);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!alive);
        QVERIFY(rig.shutDown());
    }

    void escapeMeansCancel()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QTest::keyClick(rig.window->cmdSettings, Qt::Key_Space);
        SettingsDialog* dialog = waitForDialog(*rig.window);
        QVERIFY(dialog);
        QPointer<SettingsDialog> alive(dialog);
        QSignalSpy finished(dialog, &QDialog::finished);
        retype(dialog->cboCommPort, QStringLiteral("5"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QTRY_VERIFY(!alive);
        QCOMPARE(rig.window->CommPortNumber(), 2);
        QVERIFY(rig.window->Link().PortOpen());
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.shutDown());
    }

    void typedTextSelectsTheMatchingEntry()
    {
        SettingsDialog dialog(4, QStringLiteral("9600,N,8,1"));
        QStringList chosen;
        dialog.onOk = [&](const QString& port, const QString& speed, SettingsDialog::Settled settled) {
            chosen = {port, speed};
            settled(true);
        };
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        retype(dialog.cboCommPort, QStringLiteral("3"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        retype(dialog.cboCommSpeed, QStringLiteral("4800,N,8,1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.cboCommPort->currentIndex(), 2);
        QCOMPARE(dialog.cboCommSpeed->currentIndex(), 0);
        QCOMPARE(chosen, (QStringList{"3", "4800,N,8,1"}));
    }

    void boxesAreNamedByTheirLabels()
    {
        SettingsDialog dialog(2, QStringLiteral("57600,N,8,1"));
        QCOMPARE(dialog.Label1->buddy(), dialog.cboCommPort);
        QCOMPARE(dialog.Label2->buddy(), dialog.cboCommSpeed);
        // On Linux a combo box's name is its text; a screen reader names it
        // by the label it is labelled by.
        const auto labelOf = [](QWidget* box) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
            const auto labels = iface->relations(QAccessible::Label);
            return labels.size() == 1 ? labels.first().first->text(QAccessible::Name) : QString();
        };
        QCOMPARE(labelOf(dialog.cboCommPort), QStringLiteral("Comm port"));
        QCOMPARE(labelOf(dialog.cboCommSpeed), QStringLiteral("Speed"));
        // What is in the box stays its value.
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog.cboCommPort)->text(QAccessible::Value), QStringLiteral("2"));
    }

    void settingsEndsAWaitOnASilentRadio()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--silent")}));
        // Let a round start and hang on the read.
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        QSignalSpy finished(&rig.window->Link(), &RadioLink::exchangeFinished);
        QTest::mouseClick(rig.window->cmdSettings, Qt::LeftButton);
        // The press itself ended the wait, with nothing read; a time-out
        // could only have ended it later, from the event loop.
        QVERIFY(!finished.isEmpty());
        QVERIFY(finished.first().at(1).toByteArray().isEmpty());
        SettingsDialog* dialog = waitForDialog(*rig.window, 3000);
        QVERIFY(dialog);
        expectNoPollWhileOpen(rig, dialog);
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
        expectNoPollWhileOpen(rig, dialog);
        QTRY_VERIFY(rig.window->Timer1().isActive());
        // A double-click on a control is not one on the background.
        QTest::mouseDClick(rig.window->txtFreq, Qt::LeftButton);
        QCoreApplication::processEvents(); // anything it posted has run
        QVERIFY(!rig.window->Form2());
        QVERIFY(rig.shutDown());
    }

    // An FT-847 that cannot answer, told so in the file or in Settings: the
    // window shows what was last set, marked so; a program's sets and the
    // window's go out with no read on the line and read back, +1 MHz from
    // the frequency set, the uplink in satellite mode; what was set is
    // stored at exit (and shown at the next start: the second row).
    void aRadioThatCannotAnswer_data()
    {
        QTest::addColumn<bool>("fromDialog");
        QTest::addColumn<QString>("shownAtStart");
        QTest::newRow("cleared in Settings, first run") << true << "---.---.--";
        QTest::newRow("in the file, with what was set last time") << false << "7.074.00";
    }
    void aRadioThatCannotAnswer()
    {
        QFETCH(bool, fromDialog);
        QFETCH(QString, shownAtStart);
        WindowRig rig;
        QVERIFY(rig.sim.start({QStringLiteral("--silent")}));
        QMap<QString, QString> stored{{QStringLiteral("Ports/COM2"), rig.sim.device()}};
        if (!fromDialog) {
            stored.insert(QStringLiteral("Radio/Answers"), QStringLiteral("false"));
            stored.insert(QStringLiteral("Radio/Frequency"), QStringLiteral("7074000"));
            stored.insert(QStringLiteral("Radio/Mode"), QStringLiteral("LSB"));
        }
        WriteStore(stored);
        rig.load();
        if (fromDialog) {
            rig.window->Form_DblClick();
            SettingsDialog* dialog = waitForDialog(*rig.window);
            QVERIFY(dialog);
            QTest::keyClick(dialog->chkAnswers, Qt::Key_Space);
            QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
            QTRY_VERIFY(!rig.window->Form2());
        }
        const int from = int(rig.sim.loggedCommands().size());
        QCOMPARE(rig.window->txtFreq->text(), shownAtStart);
        QCOMPARE(rig.window->txtFreq->accessibleName(), QStringLiteral("Frequency, as last set"));
        QVERIFY(rig.window->pbarSmeter->accessibleName().startsWith(QStringLiteral("S-meter not available")));
        QVERIFY(rig.window->pbarSmeter->toolTip().contains(QStringLiteral("cannot be read")));

        if (fromDialog) { // nothing to step from: nothing goes, then or once a frequency is set
            QTest::mouseClick(rig.window->cmdMhzPlus, Qt::LeftButton);
            QVERIFY(rig.waitForTicks(2));
        }
        auto sharing = ShareOnLoopback(*rig.window);
        QVERIFY(sharing);
        Client program(sharing->Server().serverPort());
        QCOMPARE(program.ask("f\n"), fromDialog ? QStringLiteral("RPRT -11") : QStringLiteral("7074000"));
        QCOMPARE(program.ask("F 14074000\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(program.ask("f\n"), QStringLiteral("14074000"));
        QTRY_COMPARE(rig.window->txtFreq->text(), QStringLiteral("14.074.00"));
        QVERIFY(rig.waitForTicks(3)); // a +1 MHz kept from before would go now
        QCOMPARE(rig.window->txtFreq->text(), QStringLiteral("14.074.00"));
        QTest::mouseClick(rig.window->cmdMhzPlus, Qt::LeftButton);
        QTRY_COMPARE(rig.window->txtFreq->text(), QStringLiteral("15.074.00"));
        QCOMPARE(program.ask("S 1 Sub\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(program.ask("I 145900000\n"), QStringLiteral("RPRT 0"));
        QCOMPARE(program.ask("i\n"), QStringLiteral("145900000"));
        QTRY_COMPARE(rig.window->txtUplink->text(), QStringLiteral("↑ 145.900.00"));
        static const QRegularExpression read(QStringLiteral(" (03|13|23|E7|F7)$"));
        QCOMPARE(rig.commandsSince(from).filter(read), QStringList());
        QCOMPARE(rig.commandsSince(from).filter(QRegularExpression(QStringLiteral(" 01$"))),
                 (QStringList{"01 40 74 00 01", "01 50 74 00 01"}));
        QVERIFY(rig.shutDown());
        const QString text = fileText();
        QVERIFY2(text.contains(QStringLiteral("Answers=false")) && text.contains(QStringLiteral("Frequency=15074000"))
                     && text.contains(QStringLiteral("UplinkFrequency=145900000")),
                 qPrintable(text));
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
