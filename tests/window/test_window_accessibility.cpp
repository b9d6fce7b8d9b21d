// What a screen reader finds in the real window, through QAccessible: names,
// roles, the S-meter in S-units, the frame, hidden decoration, Alt+F, the
// Decimals state, and that a steady radio raises no change events.

#include "spoken_names.h"
#include "window_accessibility.h"
#include "window_rig.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QRegularExpression>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

// Text and value changes seen by the accessibility layer, as a reader would.
struct SeenChange {
    QString object;
    QAccessible::Event type;
    QString text; // inserted text, or the new value
};
QList<SeenChange> seenChanges;

void recordChange(QAccessibleEvent* event)
{
    QString text;
    switch (event->type()) {
    case QAccessible::TextUpdated:
        text = static_cast<QAccessibleTextUpdateEvent*>(event)->textInserted();
        break;
    case QAccessible::TextInserted:
        text = static_cast<QAccessibleTextInsertEvent*>(event)->textInserted();
        break;
    case QAccessible::TextRemoved:
        break;
    case QAccessible::ValueChanged:
        text = static_cast<QAccessibleValueChangeEvent*>(event)->value().toString();
        break;
    default:
        return;
    }
    QObject* object = event->object();
    if (!object && event->accessibleInterface())
        object = event->accessibleInterface()->object();
    seenChanges.append({object ? object->objectName() : QString(), event->type(), text});
}

QList<SeenChange> changesOf(const QString& objectName)
{
    QList<SeenChange> out;
    for (const SeenChange& change : seenChanges)
        if (change.object == objectName)
            out << change;
    return out;
}

QString describe(const QList<SeenChange>& changes)
{
    QStringList lines;
    for (const SeenChange& c : changes)
        lines << QStringLiteral("%1 event %2 \"%3\"").arg(c.object).arg(int(c.type)).arg(c.text);
    return lines.join(QStringLiteral("; "));
}

QAccessibleInterface* accessibleOf(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

QList<QAccessibleInterface*> childrenOf(QAccessibleInterface* iface)
{
    QList<QAccessibleInterface*> children;
    for (int i = 0; i < iface->childCount(); ++i)
        children << iface->child(i);
    return children;
}

// Waits for `rounds` more poll rounds (two commands each) on the simulator's log.
bool waitForPolls(WindowRig& rig, int rounds)
{
    return rig.sim.waitForLogLines(int(rig.sim.loggedCommands().size()) + 2 * rounds, 5000);
}

} // namespace

class TestWindowAccessibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // As when a screen reader listens: interfaces are made and events sent
        // from the first widget on. No platform here has a reader, so the
        // platform's accessibility is switched on by hand, as Qt's own tests do.
        QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration();
        QVERIFY(platform && platform->accessibility());
        QAccessible::installUpdateHandler(recordChange);
        platform->accessibility()->setActive(true);
        QVERIFY(QAccessible::isActive());
    }

    void sMeterInSUnits()
    {
        // The scale " . 1 2 3 4 5 6 7 8 9 +20 +40 +60" is as wide as the bar
        // (0..31), one character a level: a mark is read once the bar reaches
        // the middle of its text.
        const QList<QPair<int, QString>> readings{
            {0, "S0"}, {2, "S0"}, {3, "S1"}, {4, "S1"}, {5, "S2"}, {11, "S5"}, {12, "S5"},
            {17, "S8"}, {18, "S8"}, {19, "S9"}, {21, "S9"}, {22, "S9+20"}, {25, "S9+20"},
            {26, "S9+40"}, {29, "S9+40"}, {30, "S9+60"}, {31, "S9+60"}};
        for (const auto& [level, spoken] : readings)
            QVERIFY2(SMeterSpoken(level) == spoken, qPrintable(QStringLiteral("level %1: %2").arg(level).arg(SMeterSpoken(level))));
        // Every mark of the scale is reached, in order, and nothing else is said.
        QStringList heard;
        for (int level = 0; level <= 31; ++level)
            if (heard.isEmpty() || heard.last() != SMeterSpoken(level))
                heard << SMeterSpoken(level);
        QCOMPARE(heard, QStringList({"S0", "S1", "S2", "S3", "S4", "S5", "S6", "S7", "S8", "S9", "S9+20",
                                     "S9+40", "S9+60"}));
    }

    void bandButtonNames()
    {
        const QStringList bands{"160 metres, 1.825 MHz, LSB", "80 metres, 3.6 MHz, LSB",
                                "40 metres, 7.05 MHz, LSB",   "20 metres, 14.2 MHz, USB",
                                "15 metres, 21.2 MHz, USB",   "10 metres, 28.5 MHz, USB",
                                "2 metres, 145.575 MHz, FM",  "70 centimetres, 433.425 MHz, FM"};
        for (std::size_t i = 0; i < kBandButtons.size(); ++i)
            QCOMPARE(BandButtonName(kBandButtons[i]), bands[qsizetype(i)]);
        // A spot outside the amateur bands says no band rather than a wrong one.
        QCOMPARE(BandButtonName({"x", 100, 0x04}), QStringLiteral("0.1 MHz, AM"));
    }

    void windowTreeNamesEveryControl()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--smeter"), QStringLiteral("22")}));
        QVERIFY(rig.waitForReading());
        MainWindow& w = *rig.window;

        QAccessibleInterface* frame = accessibleOf(&w);
        QVERIFY(frame);
        QCOMPARE(frame->role(), QAccessible::Window); // a frame on AT-SPI, not a filler
        QCOMPARE(frame->text(QAccessible::Name), w.windowTitle());

        const QList<QAccessibleInterface*> children = childrenOf(frame);
        QList<QObject*> childObjects;
        for (QAccessibleInterface* child : children) {
            QVERIFY(child);
            childObjects << child->object();
            QVERIFY2(child->parent() && child->parent()->object() == &w, qPrintable(child->object()->objectName()));
            QCOMPARE(frame->indexOfChild(child), childObjects.size() - 1);
            // Everything a reader reaches has a name, and none is a row of numbers.
            const QString name = child->text(QAccessible::Name);
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(child->object()->objectName()));
            QVERIFY2(!name.contains(QRegularExpression(QStringLiteral("^[ .0-9+]+$"))), qPrintable(name));
        }
        // Decoration stays out: the empty box behind the step labels and the scale.
        QVERIFY(!childObjects.contains(w.findChild<QLabel*>(QStringLiteral("Label5"))));
        QVERIFY(!childObjects.contains(w.Label1));
        QCOMPARE(children.size(), w.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size() - 2);

        struct Expected {
            QWidget* widget;
            QString name;
            QAccessible::Role role;
        };
        const QList<Expected> expected{
            {w.txtFreq, "Frequency", QAccessible::EditableText},
            {w.txtMode, "Mode", QAccessible::EditableText},
            {w.pbarSmeter, "S-meter", QAccessible::ProgressBar},
            {w.sldLow, "Fine tuning, 10 Hz steps, ±500 Hz", QAccessible::Slider},
            {w.sldMid, "Medium tuning, 100 Hz steps, ±5 kHz", QAccessible::Slider},
            {w.sldHigh, "Coarse tuning, 1 kHz steps, ±50 kHz", QAccessible::Slider},
            {w.Command1[0], "160 metres, 1.825 MHz, LSB", QAccessible::Button},
            {w.Command1[7], "70 centimetres, 433.425 MHz, FM", QAccessible::Button},
            {w.Command2[0], "LSB", QAccessible::Button},
            {w.Command2[5], "CW reverse", QAccessible::Button},
            {w.cmdDecimals, "Decimals on", QAccessible::Button},
            {w.cmdExit, "Exit", QAccessible::Button},
            {w.cmdTransmit, "Stop transmitting", QAccessible::Button},
            {w.cmdSatellite, "Satellite mode", QAccessible::CheckBox},
            {w.txtUplink, "Uplink", QAccessible::EditableText},
            {w.lblTransmit, "Transmitting", QAccessible::StaticText},
            // A reader speaks a notification's labels each time it is shown.
            {w.noticeLine, "Notice", QAccessible::Notification},
        };
        for (const Expected& e : expected) {
            QAccessibleInterface* iface = accessibleOf(e.widget);
            QVERIFY(childObjects.contains(e.widget));
            QCOMPARE(iface->text(QAccessible::Name), e.name);
            QCOMPARE(iface->role(), e.role);
        }
        // Captions on screen are unchanged.
        QCOMPARE(w.Command1[0]->text(), QStringLiteral("1.8"));
        QCOMPARE(w.Command2[5]->text(), QStringLiteral("CW(R)"));

        // Each slider is labelled by its caption on screen.
        const QList<QPair<QSlider*, QString>> captions{
            {w.sldLow, "Label2"}, {w.sldMid, "Label3"}, {w.sldHigh, "Label4"}};
        for (const auto& [slider, labelName] : captions) {
            auto* label = w.findChild<QLabel*>(labelName);
            QCOMPARE(label->buddy(), slider);
            bool labelled = false;
            for (const auto& [other, relation] : accessibleOf(slider)->relations(QAccessible::Label))
                labelled = labelled || other->object() == label;
            QVERIFY2(labelled, qPrintable(labelName));
        }

        // The readouts: the display text, and the S-meter in S-units.
        QTRY_COMPARE(w.pbarSmeter->value(), 22);
        QCOMPARE(accessibleOf(w.pbarSmeter)->text(QAccessible::Description), QStringLiteral("S9+20"));
        QCOMPARE(accessibleOf(w.txtFreq)->text(QAccessible::Value), QStringLiteral("14.200.00"));
        QCOMPARE(accessibleOf(w.txtMode)->text(QAccessible::Value), QStringLiteral("USB"));
        QVERIFY(rig.sim.send(QStringLiteral("smeter 5")));
        QTRY_COMPARE(accessibleOf(w.pbarSmeter)->text(QAccessible::Description), QStringLiteral("S2"));
        QVERIFY(rig.shutDown());
    }

    void frameEvenWhenQueriedBefore()
    {
        // A reader may ask for the window before its controls are described;
        // the interface it got then must not keep the role of a plain widget.
        QWidget window;
        QCOMPARE(accessibleOf(&window)->role(), QAccessible::Client);
        DescribeForAssistiveTech(window);
        QCOMPARE(accessibleOf(&window)->role(), QAccessible::Window);
    }

    void altFMovesFocusToFrequency()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        MainWindow& w = *rig.window;
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_VERIFY(w.cmdExit->hasFocus());
        QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(w.txtFreq->hasFocus());
        QAccessibleInterface* focused = accessibleOf(&w)->focusChild();
        QVERIFY(focused);
        QCOMPARE(focused->object(), w.txtFreq);
        QVERIFY(focused->state().focused);
        QVERIFY(rig.shutDown());
    }

    void decimalsButtonTellsItsState()
    {
        WindowRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.waitForReading());
        MainWindow& w = *rig.window;
        QAccessibleInterface* button = accessibleOf(w.cmdDecimals);
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Decimals on"));
        QTest::mouseClick(w.cmdDecimals, Qt::LeftButton);
        QVERIFY(!w.ShowDecimals());
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Decimals off"));
        QTest::mouseClick(w.cmdDecimals, Qt::LeftButton);
        QVERIFY(w.ShowDecimals());
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Decimals on"));
        QVERIFY(rig.shutDown());
    }

    // A steady radio raises no text or value events; a new frequency raises
    // exactly one text change, carrying the new text.
    void steadyRadioIsQuiet()
    {
        WindowRig rig;
        QVERIFY(rig.start({QStringLiteral("--smeter"), QStringLiteral("22")}));
        QVERIFY(rig.waitForReading());
        MainWindow& w = *rig.window;
        QTRY_COMPARE(w.pbarSmeter->value(), 22);
        QVERIFY(waitForPolls(rig, 2)); // the first reading's writes are behind us

        seenChanges.clear();
        QVERIFY(waitForPolls(rig, 10));
        const QStringList readouts{"txtFreq", "txtMode", "pbarSmeter"};
        for (const QString& name : readouts)
            QVERIFY2(changesOf(name).isEmpty(), qPrintable(describe(changesOf(name))));

        seenChanges.clear();
        QVERIFY(rig.sim.send(QStringLiteral("freq 702500")));
        QTRY_COMPARE(w.txtFreq->text(), QStringLiteral("7.025.00"));
        QVERIFY(waitForPolls(rig, 3));
        const QList<SeenChange> freqChanges = changesOf(QStringLiteral("txtFreq"));
        QVERIFY2(freqChanges.size() == 1, qPrintable(describe(freqChanges)));
        QVERIFY(freqChanges[0].type != QAccessible::TextRemoved);
        QCOMPARE(freqChanges[0].text, QStringLiteral("7.025.00"));
        QVERIFY2(changesOf(QStringLiteral("txtMode")).isEmpty(), qPrintable(describe(changesOf(QStringLiteral("txtMode")))));
        QVERIFY2(changesOf(QStringLiteral("pbarSmeter")).isEmpty(), qPrintable(describe(changesOf(QStringLiteral("pbarSmeter")))));
        QVERIFY(rig.shutDown());
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowAccessibility test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_accessibility.moc"
