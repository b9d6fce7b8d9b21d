// Memory channels from "Memories.txt" through the real window: the list,
// and what a recall puts on the wire.

#include "window_rig.h"

#include <QAbstractItemView>
#include <QFile>
#include <QTemporaryDir>

class TestWindowMemories : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString memoryFile;

    static bool logged(WindowRig& rig, int from, const QStringList& lines, int timeoutMs = 2000)
    {
        return QTest::qWaitFor([&] {
            QStringList user;
            for (const QString& l : rig.commandsSince(from))
                if (!l.endsWith(QLatin1String(" 03")) && !l.endsWith(QLatin1String(" E7")) && !l.endsWith(QLatin1String(" F7")))
                    user << l;
            return user == lines;
        }, timeoutMs);
    }

    // Picks entry `index` from the drop-down list with the mouse.
    static void pick(QComboBox* combo, int index)
    {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        const QRect rect = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTRY_VERIFY(!view->isVisible());
    }

    bool startQuiet(WindowRig& rig)
    {
        if (!rig.start({}, memoryFile) || !rig.waitForReading())
            return false;
        rig.window->Timer1().stop(); // a quiet line makes the recall's bytes easy to read
        return QTest::qWaitFor([&] { return !rig.window->Link().Busy(); }, 2000);
    }

private slots:
    void initTestCase()
    {
        memoryFile = dir.filePath(QStringLiteral("Memories.txt"));
        QFile file(memoryFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("20m net,14200,USB\r\n"
                   "Twin,7050,LSB\r\n"
                   "lower case,3700,usb\r\n"
                   "Half,7050.5,CW\r\n"
                   "Twin,433425,FM\r\n"
                   "Too high,80000,FM\r\n"
                   "\"Broadcast, 41m\",7325,AM\r\n"
                   "Unfinished,14000\r\n");
    }

    void listInFileOrder()
    {
        WindowRig rig;
        QVERIFY(rig.start({}, memoryFile));
        QComboBox* combo = rig.window->cboMemories;
        QCOMPARE(combo->count(), 7); // the unfinished record is left out
        QCOMPARE(combo->itemText(0), QStringLiteral("20m net"));
        QCOMPARE(combo->itemText(6), QStringLiteral("Broadcast, 41m"));
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->currentText(), QStringLiteral(" Preset frequency"));
        QVERIFY(rig.shutDown());
    }

    void recallSendsFrequencyThenMode_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("bytes");
        QTest::newRow("20m net") << 0 << QStringList{"01 42 00 00 01", "01 00 00 00 07"};
        QTest::newRow("twin names: the first") << 4 << QStringList{"00 70 50 00 01", "00 00 00 00 07"};
        QTest::newRow("lower-case usb sets LSB") << 2 << QStringList{"00 37 00 00 01", "00 00 00 00 07"};
        QTest::newRow("7050.5 tunes 7050") << 3 << QStringList{"00 70 50 00 01", "02 00 00 00 07"};
        QTest::newRow("quoted name") << 6 << QStringList{"00 73 25 00 01", "04 00 00 00 07"};
    }
    void recallSendsFrequencyThenMode()
    {
        QFETCH(int, index);
        QFETCH(QStringList, bytes);
        WindowRig rig;
        QVERIFY(startQuiet(rig));
        const int from = rig.sim.loggedCommands().size();
        pick(rig.window->cboMemories, index);
        QVERIFY2(logged(rig, from, bytes), qPrintable(rig.commandsSince(from).join(QLatin1Char('|'))));
        QCOMPARE(rig.window->focusWidget(), rig.window->cmdExit);
        QVERIFY(rig.shutDown());
    }

    void outOfRangeSendsNothing()
    {
        WindowRig rig;
        QVERIFY(startQuiet(rig));
        const int from = rig.sim.loggedCommands().size();
        rig.window->cboMemories->setFocus();
        pick(rig.window->cboMemories, 5);
        // A marker after it: once it is on the line, anything the pick sent
        // would be there before it.
        rig.window->Radio().TakeControl();
        QVERIFY(logged(rig, from, {"00 00 00 00 00"}));
        QCOMPARE(rig.commandsSince(from), QStringList{"00 00 00 00 00"});
        // The window's focus stays in the list; a recall would move it to Exit.
        QWidget* focus = rig.window->focusWidget();
        QVERIFY(focus);
        QVERIFY(focus == rig.window->cboMemories || focus->parentWidget() == rig.window->cboMemories);
        QVERIFY(rig.shutDown());
    }

    void firstDownKeyTakesTheFirstEntry()
    {
        WindowRig rig;
        QVERIFY(startQuiet(rig));
        const int from = rig.sim.loggedCommands().size();
        rig.window->cboMemories->setFocus();
        QTest::keyClick(rig.window->cboMemories, Qt::Key_Down);
        QCOMPARE(rig.window->cboMemories->currentIndex(), 0);
        QVERIFY(logged(rig, from, {"01 42 00 00 01", "01 00 00 00 07"}));
        // A pick by key keeps the focus in the list: the next Down takes the
        // next channel, and a Space goes nowhere near Exit.
        QCOMPARE(QApplication::focusWidget(), rig.window->cboMemories);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(rig.window->cboMemories->currentIndex(), 1);
        QVERIFY(logged(rig, from, {"01 42 00 00 01", "01 00 00 00 07", "00 70 50 00 01", "00 00 00 00 07"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(!rig.window->Unloaded());
        QVERIFY(rig.shutDown());
    }

    void recallQueuesBehindThePoll()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--baud"), QStringLiteral("4800")}, memoryFile));
        QVERIFY(rig.waitForReading());
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        pick(rig.window->cboMemories, 0);
        QVERIFY(rig.window->Timer1().isActive()); // the poll is not stopped
        QVERIFY(rig.waitForPolls(3));
        for (const QString& line : rig.sim.loggedCommands())
            QVERIFY2(!line.startsWith(QLatin1String("OVERLAP")), qPrintable(line));
        QVERIFY(rig.sim.loggedCommands().contains(QStringLiteral("01 42 00 00 01")));
        QVERIFY(rig.shutDown());
    }

    void missingFileGivesAnEmptyList()
    {
        WindowRig rig;
        QVERIFY(rig.start({}, dir.filePath(QStringLiteral("absent.txt"))));
        QCOMPARE(rig.window->cboMemories->count(), 0);
        QCOMPARE(rig.window->cboMemories->currentText(), QStringLiteral(" Preset frequency"));
        QVERIFY(rig.shutDown());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowMemories test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_memories.moc"
