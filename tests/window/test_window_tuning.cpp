// Tuning from the real window: what the sliders, megahertz, band and mode
// buttons put on the wire, and that no two exchanges overlap.

#include "window_rig.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

QPoint handleCentre(QSlider* slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    return handle.center();
}

// Drags the handle with the left button held, the way a hand does.
void dragTo(QSlider* slider, int value)
{
    const int span = slider->width();
    QPoint at = handleCentre(slider);
    const int target = QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), value, span);
    for (int step = 0; step < 40 && slider->value() != value; ++step) {
        const int dx = value > slider->value() ? 1 : -1;
        at.rx() += dx;
        QMouseEvent move(QEvent::MouseMove, at, slider->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &move);
    }
    Q_UNUSED(target);
}

void press(QSlider* slider)
{
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, handleCentre(slider));
}

void release(QSlider* slider)
{
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, handleCentre(slider));
}

} // namespace

class TestWindowTuning : public QObject {
    Q_OBJECT

    // Waits for the simulator's log to hold `line` after position `from`.
    static bool logged(WindowRig& rig, int from, const QString& line, int timeoutMs = 2000)
    {
        return QTest::qWaitFor([&] { return rig.commandsSince(from).contains(line); }, timeoutMs);
    }
    static QStringList userCommands(const QStringList& log)
    {
        QStringList out;
        for (const QString& line : log)
            if (!line.endsWith(QLatin1String(" 03")) && !line.endsWith(QLatin1String(" E7"))
                && !line.endsWith(QLatin1String(" F7")))
                out << line;
        return out;
    }

private slots:
    void midSliderDrag()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QSlider* mid = rig.window->sldMid;
        const int from = rig.sim.loggedCommands().size();
        press(mid);
        QCOMPARE(rig.window->Tuning().DragBaseFrequency(), 1420000);
        dragTo(mid, 53);
        QCOMPARE(mid->value(), 53);
        QVERIFY(logged(rig, from, QStringLiteral("01 42 00 30 01")));
        QTRY_COMPARE(rig.window->CurrentFrequency(), 1420030);
        dragTo(mid, 47);
        QCOMPARE(mid->value(), 47);
        QVERIFY(logged(rig, from, QStringLiteral("01 41 99 70 01")));
        release(mid);
        QTRY_COMPARE(mid->value(), 50);
        QVERIFY(rig.waitForPolls(3));
        QTRY_COMPARE(rig.window->CurrentFrequency(), 1419970); // the radio stays where it was set
        QCOMPARE(userCommands(rig.commandsSince(from)).last(), QStringLiteral("01 41 99 70 01"));
        QVERIFY(rig.shutDown());
    }

    void pressOffTheHandleCounts()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QSlider* high = rig.window->sldHigh;
        const int from = rig.sim.loggedCommands().size();
        // A press on the groove right of the handle pages the slider up.
        QTest::mousePress(high, Qt::LeftButton, Qt::NoModifier, QPoint(high->width() - 5, high->height() / 2));
        QVERIFY(high->value() > 50);
        const int value = high->value();
        const QString expected = QString::fromLatin1(QByteArray::fromRawData(
            reinterpret_cast<const char*>(cat::PackFrequency(1420000 + (value - 50) * 100)->data()), 4).toHex(' ')).toUpper()
            + QStringLiteral(" 01");
        QVERIFY2(logged(rig, from, expected), qPrintable(expected));
        QTest::mouseRelease(high, Qt::LeftButton, Qt::NoModifier, QPoint(high->width() - 5, high->height() / 2));
        QTRY_COMPARE(high->value(), 50);
        QVERIFY(rig.shutDown());
    }

    void keysTuneFromTheReadingAndTheThumbStaysCentred_data()
    {
        QTest::addColumn<QString>("slider");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("bytes");
        QTest::newRow("fine, Right: +10 Hz") << "sldLow" << int(Qt::Key_Right) << "01 42 00 01 01";
        QTest::newRow("middle, Right: +100 Hz") << "sldMid" << int(Qt::Key_Right) << "01 42 00 10 01";
        QTest::newRow("coarse, Right: +1 kHz") << "sldHigh" << int(Qt::Key_Right) << "01 42 01 00 01";
        QTest::newRow("fine, Left: -10 Hz") << "sldLow" << int(Qt::Key_Left) << "01 41 99 99 01";
        QTest::newRow("fine, PageUp: +100 Hz") << "sldLow" << int(Qt::Key_PageUp) << "01 42 00 10 01";
        QTest::newRow("coarse, PageDown: -10 kHz") << "sldHigh" << int(Qt::Key_PageDown) << "01 41 90 00 01";
    }
    void keysTuneFromTheReadingAndTheThumbStaysCentred()
    {
        QFETCH(QString, slider);
        QFETCH(int, key);
        QFETCH(QString, bytes);
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        auto* s = rig.window->findChild<QSlider*>(slider);
        const int from = rig.sim.loggedCommands().size();
        s->setFocus();
        QTest::keyClick(s, Qt::Key(key));
        QCOMPARE(s->value(), 50);
        QVERIFY(logged(rig, from, bytes));
        QVERIFY(rig.waitForPolls(2));
        QCOMPARE(userCommands(rig.commandsSince(from)), QStringList{bytes});
        QVERIFY(rig.shutDown());
    }

    void dragAfterKeysMovesByTheDragAlone()
    {
        // Ten Right presses once left the thumb at 60, and a one-unit drag
        // then moved the radio 110 Hz instead of 10 Hz.
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QSlider* low = rig.window->sldLow;
        low->setFocus();
        for (int i = 0; i < 10; ++i)
            QTest::keyClick(low, Qt::Key_Right);
        QTest::keyClick(low, Qt::Key_Home);
        QCOMPARE(low->value(), 50);
        QTRY_COMPARE(rig.window->CurrentFrequency(), 1420010);
        QWheelEvent wheel(QPointF(10, 5), low->mapToGlobal(QPointF(10, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(low, &wheel);
        QCOMPARE(low->value(), 50); // the wheel leaves the thumb alone too
        const int from = rig.sim.loggedCommands().size();
        press(low);
        dragTo(low, 51);
        QVERIFY(logged(rig, from, QStringLiteral("01 42 00 11 01")));
        release(low);
        QVERIFY(rig.shutDown());
    }

    void megahertzWaitsForAReadingAfterTheBandPress()
    {
        // "7" then "+1 Mhz" while a round is on the line: the step must be
        // taken from 7.050.00, not from the 14.200.00 read before the press.
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--baud"), QStringLiteral("4800")}));
        QVERIFY(rig.waitForReading());
        const int from = rig.sim.loggedCommands().size();
        QTRY_VERIFY(rig.window->Link().AwaitingReply());
        QTest::mouseClick(rig.window->Command1[2], Qt::LeftButton);
        QTest::mouseClick(rig.window->cmdMhzPlus, Qt::LeftButton);
        QVERIFY(logged(rig, from, QStringLiteral("00 80 50 00 01"), 4000));
        QTRY_COMPARE(rig.window->txtFreq->text(), QStringLiteral("8.050.00"));
        QVERIFY(!rig.commandsSince(from).contains(QStringLiteral("01 52 00 00 01")));
        QVERIFY(rig.shutDown());
    }

    void megahertzBlockedAtTheRangeEnd()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--freq"), QStringLiteral("7550000")}));
        QVERIFY(rig.waitForReading());
        QCOMPARE(rig.window->txtFreq->text(), QStringLiteral("75.500.00"));
        const int from = rig.sim.loggedCommands().size();
        QTest::mouseClick(rig.window->cmdMhzPlus, Qt::LeftButton);
        QTest::mouseClick(rig.window->cmdMhzMinus, Qt::LeftButton);
        QVERIFY(rig.waitForPolls(3));
        QVERIFY(userCommands(rig.commandsSince(from)).isEmpty());
        QVERIFY(rig.window->Tuning().mhzUpPending());
        // The radio is retuned by hand: the waiting step now lands in range.
        rig.sim.send(QStringLiteral("freq 7000000"));
        QVERIFY(logged(rig, from, QStringLiteral("07 10 00 00 01")));
        QVERIFY(logged(rig, from, QStringLiteral("06 90 00 00 01")));
        QVERIFY(rig.shutDown());
    }

    void twoPressesMakeOneStep()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        rig.window->Timer1().stop();
        QTRY_VERIFY(!rig.window->Link().Busy());
        const int from = rig.sim.loggedCommands().size();
        QTest::mouseClick(rig.window->cmdMhzPlus, Qt::LeftButton);
        QTest::mouseClick(rig.window->cmdMhzPlus, Qt::LeftButton);
        rig.window->Timer1().start();
        QVERIFY(logged(rig, from, QStringLiteral("01 52 00 00 01")));
        QVERIFY(rig.waitForPolls(3));
        QCOMPARE(userCommands(rig.commandsSince(from)), QStringList{QStringLiteral("01 52 00 00 01")});
        QTRY_COMPARE(rig.window->txtFreq->text(), QStringLiteral("15.200.00"));
        QVERIFY(rig.shutDown());
    }

    void bandAndModeButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("bytes");
        QTest::newRow("14") << "Command1(3)" << QStringList{"01 42 00 00 01", "01 00 00 00 07"};
        QTest::newRow("144") << "Command1(6)" << QStringList{"14 55 75 00 01", "08 00 00 00 07"};
        QTest::newRow("1.8") << "Command1(0)" << QStringList{"00 18 25 00 01", "00 00 00 00 07"};
        QTest::newRow("433") << "Command1(7)" << QStringList{"43 34 25 00 01", "08 00 00 00 07"};
        QTest::newRow("CW(R)") << "Command2(5)" << QStringList{"03 00 00 00 07"};
        QTest::newRow("FM") << "Command2(3)" << QStringList{"08 00 00 00 07"};
    }
    void bandAndModeButtons()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, bytes);
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        const int from = rig.sim.loggedCommands().size();
        QTest::mouseClick(rig.window->findChild<QPushButton*>(button), Qt::LeftButton);
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(logged(rig, from, bytes.last()));
        QCOMPARE(userCommands(rig.commandsSince(from)), bytes);
        QVERIFY(rig.shutDown());
    }

    void closedPortSendsNothing()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        rig.window->Link().ClosePort();
        const int from = rig.sim.loggedCommands().size();
        QTest::mouseClick(rig.window->Command1[3], Qt::LeftButton);
        QTest::mouseClick(rig.window->Command2[1], Qt::LeftButton);
        QVERIFY(rig.window->Timer1().isActive());
        QVERIFY(rig.waitForTicks(3));
        QVERIFY(rig.commandsSince(from).isEmpty());
        QVERIFY(rig.shutDown());
    }

    void noOverlapAt4800Baud()
    {
        // The radio answers at 4800 baud and every reply trails three stray
        // bytes, still coming for 6 ms after the reply looks whole. Presses
        // land while a poll round's reply is on the line, so user commands
        // queue between the poll's exchanges.
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--baud"), QStringLiteral("4800"), QStringLiteral("--extra"),
                           QStringLiteral("3")}));
        QVERIFY(rig.waitForPolls(2));
        int presses = 0;
        for (int i = 0; i < 24; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.window->Link().AwaitingReply(), 5000);
            if (i % 3 == 0) {
                QTest::mouseClick(rig.window->Command1[(i / 3) % 8], Qt::LeftButton);
                ++presses;
            } else {
                QTest::mouseClick(i % 3 == 1 ? rig.window->cmdMhzPlus : rig.window->cmdMhzMinus, Qt::LeftButton);
            }
            // Let the round run out before the next press.
            QTRY_VERIFY_WITH_TIMEOUT(!rig.window->Link().AwaitingReply(), 5000);
        }
        QVERIFY(rig.waitForPolls(3));
        const QStringList log = rig.sim.loggedCommands();
        for (const QString& line : log) {
            QVERIFY2(!line.startsWith(QLatin1String("OVERLAP")) && !line.startsWith(QLatin1String("PARTIAL")),
                     qPrintable(line));
            QCOMPARE(line.size(), 14); // five whole bytes
        }
        // Every band press went out whole, in the order pressed.
        QStringList modes;
        for (const QString& line : userCommands(log))
            if (line.endsWith(QLatin1String(" 07")))
                modes << line;
        QCOMPARE(modes.size(), presses);
        QVERIFY(rig.shutDown());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowTuning test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_tuning.moc"
