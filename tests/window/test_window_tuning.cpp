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
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (rig.commandsSince(from).contains(line))
                return true;
            QTest::qWait(10);
        }
        return false;
    }
    static QStringList userCommands(const QStringList& log)
    {
        QStringList out;
        for (const QString& line : log)
            if (!line.endsWith(QLatin1String(" 03")) && !line.endsWith(QLatin1String(" E7")))
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
        QTest::qWait(300);
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

    void keyboardAndWheelSendNothing()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        QSlider* low = rig.window->sldLow;
        const int from = rig.sim.loggedCommands().size();
        low->setFocus();
        QTest::keyClick(low, Qt::Key_Right);
        QTest::keyClick(low, Qt::Key_PageUp);
        QWheelEvent wheel(QPointF(10, 5), low->mapToGlobal(QPointF(10, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(low, &wheel);
        QVERIFY(low->value() != 50);
        QTest::qWait(400);
        QVERIFY(userCommands(rig.commandsSince(from)).isEmpty());
        QVERIFY(low->value() != 50); // the thumb stays where the keys put it
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
        QTest::qWait(400);
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
        QTest::qWait(400);
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
        QTest::qWait(300);
        QVERIFY(rig.commandsSince(from).isEmpty());
        QVERIFY(rig.shutDown());
    }

    void noOverlapAt4800Baud()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--baud"), QStringLiteral("4800")}));
        QVERIFY(rig.waitForReading());
        // Presses land in the middle of poll rounds, while replies are on the line.
        for (int i = 0; i < 12; ++i) {
            QTest::mouseClick(rig.window->Command1[i % 8], Qt::LeftButton);
            QTest::qWait(7 + 3 * i);
        }
        QVERIFY(logged(rig, 0, QStringLiteral("43 34 25 00 01"), 4000));
        QTest::qWait(500);
        const QStringList log = rig.sim.loggedCommands();
        for (const QString& line : log) {
            QVERIFY2(!line.startsWith(QLatin1String("OVERLAP")) && !line.startsWith(QLatin1String("PARTIAL")),
                     qPrintable(line));
            QCOMPARE(line.size(), 14); // five whole bytes
        }
        // Every band press went out whole and in the order pressed.
        QStringList bands;
        for (const QString& line : userCommands(log))
            if (line.endsWith(QLatin1String(" 01")))
                bands << line;
        QCOMPARE(bands.size(), 12);
        QCOMPARE(bands[3], QStringLiteral("01 42 00 00 01"));
        QCOMPARE(bands[11], QStringLiteral("01 42 00 00 01"));
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
