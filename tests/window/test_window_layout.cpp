// The main window as built offscreen: every control of the layout table,
// with its caption, geometry, colours and keyboard order.

#include "control_layout.h"
#include "window_rig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

class TestWindowLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    QtSerialPort port;
    QtSettingsStore store;
    CountingMessages messages;
    SilentPlayer player;

private slots:
    void init()
    {
        window = std::make_unique<MainWindow>(MainWindowParts{port, store, messages, player, QString()});
        window->show();
    }
    void cleanup() { window.reset(); }

    void fixedClientArea()
    {
        QCOMPARE(window->size(), QSize(637, 550));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!window->windowTitle().isEmpty());
    }

    void everyControl_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(kMainWindowControls.size()); ++i)
            QTest::newRow(kMainWindowControls[i].name) << i;
    }
    void everyControl()
    {
        QFETCH(int, row);
        const ControlSpec& spec = kMainWindowControls[row];
        auto* widget = window->findChild<QWidget*>(QString::fromLatin1(spec.name));
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), QRect(spec.left / 15, spec.top / 15, spec.width / 15, spec.height / 15));
        const QString caption = QString::fromUtf8(spec.caption);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), caption);
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), caption);
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            QCOMPARE(combo->currentText(), caption);
        if (spec.font.family) {
            QCOMPARE(widget->font().family(), QString::fromLatin1(spec.font.family));
            QCOMPARE(widget->font().pointSizeF(), spec.font.points);
        }
        if (spec.background.r >= 0) {
            const QString rgb = QStringLiteral("rgb(%1,%2,%3)").arg(spec.background.r).arg(spec.background.g).arg(spec.background.b);
            QVERIFY2(widget->styleSheet().contains(rgb), qPrintable(widget->styleSheet()));
        }
    }

    void captionsFitTheirButtons()
    {
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            const QFontMetrics metrics(button->font());
            QString text = button->text();
            text.remove(QLatin1Char('&'));
            QVERIFY2(metrics.horizontalAdvance(text) <= button->width(), qPrintable(button->objectName()));
            QVERIFY2(metrics.height() <= button->height(), qPrintable(button->objectName()));
        }
        // The S-meter scale spans its bar in a fixed-pitch font.
        const QFontMetrics scale(window->Label1->font());
        QVERIFY(scale.horizontalAdvance(window->Label1->text()) <= window->Label1->width());
        // The widest reading and mode fit their boxes.
        QVERIFY(QFontMetrics(window->txtFreq->font()).horizontalAdvance(QStringLiteral("145.575.00")) <= window->txtFreq->width());
    }

    void controlsBehave()
    {
        QCOMPARE(window->pbarSmeter->minimum(), 0);
        QCOMPARE(window->pbarSmeter->maximum(), 31);
        for (QSlider* slider : {window->sldLow, window->sldMid, window->sldHigh}) {
            QCOMPARE(slider->orientation(), Qt::Horizontal);
            QCOMPARE(slider->minimum(), 0);
            QCOMPARE(slider->maximum(), 100);
            QCOMPARE(slider->value(), 50);
        }
        QVERIFY(window->cboMemories->isEditable());
        QCOMPARE(window->cboMemories->insertPolicy(), QComboBox::NoInsert);
        QCOMPARE(window->txtFreq->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(window->txtMode->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(window->Timer1().isActive(), false); // started by the start-up, not by building
    }

    void tabOrder()
    {
        // The keyboard walks the focusable controls by their tab index.
        std::vector<std::pair<int, QString>> expected;
        for (const ControlSpec& spec : kMainWindowControls) {
            auto* widget = window->findChild<QWidget*>(QString::fromLatin1(spec.name));
            if (widget->focusPolicy() & Qt::TabFocus)
                expected.emplace_back(spec.tabIndex, QString::fromLatin1(spec.name));
        }
        std::sort(expected.begin(), expected.end());
        // A combo box's line edit sits in the chain as part of the combo.
        const auto ownerOf = [](QWidget* w) { return qobject_cast<QComboBox*>(w->parentWidget()) ? w->parentWidget() : w; };
        QWidget* w = window->findChild<QWidget*>(expected.front().second);
        for (size_t i = 1; i < expected.size(); ++i) {
            QWidget* previous = w;
            do
                w = w->nextInFocusChain();
            while (w && (!(w->focusPolicy() & Qt::TabFocus) || ownerOf(w) == previous));
            QVERIFY(w);
            QWidget* owner = ownerOf(w);
            QCOMPARE(owner->objectName(), expected[i].second);
            w = owner;
        }
        QCOMPARE(expected.front().second, QStringLiteral("cmdExit"));
    }

    void accelerators()
    {
        QCOMPARE(window->cmdExit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
        QCOMPARE(window->cmdDecimals->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
        QCOMPARE(window->cmdSettings->shortcut(), QKeySequence(Qt::ALT | Qt::Key_S));
        QCOMPARE(window->cmdTakeControl->shortcut(), QKeySequence(Qt::ALT | Qt::Key_M));
        QCOMPARE(window->cmdSpeak->shortcut(), QKeySequence(Qt::ALT | Qt::Key_K));
        QCOMPARE(window->cmdTransmit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_T));
        QCOMPARE(window->cmdSatellite->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));
    }

    void longModeTextsFit()
    {
        // The mode font shrinks for the longest texts rather than clipping them.
        for (const auto& mode : cat::kModes) {
            window->ShowMode(QString::fromLatin1(mode.displayText));
            QVERIFY2(QFontMetrics(window->txtMode->font()).horizontalAdvance(window->txtMode->text())
                         <= window->txtMode->width() - 8,
                     mode.displayText);
        }
    }
};

int main(int argc, char** argv)
{
    UseTemporaryConfigHome();
    QApplication app(argc, argv);
    TestWindowLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_layout.moc"
