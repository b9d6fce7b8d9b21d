#include "window_accessibility.h"

#include "band_table.h"
#include "notice_line.h"
#include "spoken_names.h"
#include "tuning_requests.h"
#include "window_texts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QWidget>

namespace {

// Widgets marked so are left out of the window's accessible children.
constexpr const char* kNotExposed = "solvaneNotExposed";
// The window marked so gets the frame interface below.
constexpr const char* kFrame = "solvaneFrame";
// Set while the window holds the user (speaking).
constexpr const char* kBusy = "solvaneBusy";
// Set on the bar while it shows power out; the scale label keeps its caption.
constexpr const char* kPowerOut = "solvanePowerOut";
constexpr const char* kScaleCaption = "solvaneScaleCaption";
// Set on the bar while the radio cannot be read: it stays empty.
constexpr const char* kUnavailable = "solvaneMeterUnavailable";

QString meterSpoken(const QWidget* meter, int level)
{
    if (meter->property(kUnavailable).toBool())
        return {};
    return meter->property(kPowerOut).toBool() ? PowerOutSpoken(level) : SMeterSpoken(level);
}

bool notExposed(const QAccessibleInterface* iface)
{
    const QObject* object = iface ? iface->object() : nullptr;
    return object && object->property(kNotExposed).toBool();
}

// A plain top-level QWidget is a "client" to Qt, which AT-SPI shows as a
// filler; a screen reader expects a frame. This one also skips decoration.
class FrameAccessible final : public QAccessibleWidget {
public:
    explicit FrameAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.busy = widget()->property(kBusy).toBool();
        return s;
    }

    int childCount() const override { return int(exposedChildren().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QAccessibleInterface*> children = exposedChildren();
        return index >= 0 && index < children.size() ? children[index] : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(exposedChildren().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

private:
    QList<QAccessibleInterface*> exposedChildren() const
    {
        QList<QAccessibleInterface*> children;
        const int count = QAccessibleWidget::childCount();
        for (int i = 0; i < count; ++i) {
            QAccessibleInterface* child = QAccessibleWidget::child(i);
            if (child && !notExposed(child))
                children << child;
        }
        return children;
    }
};

QAccessibleInterface* frameFactory(const QString&, QObject* object)
{
    if (object && object->isWidgetType() && object->property(kFrame).toBool())
        return new FrameAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

template <class T>
T* control(QWidget& form1, const QString& name)
{
    return form1.findChild<T*>(name);
}

void describeWindow(QWidget& form1)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(frameFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    form1.setProperty(kFrame, true);
    // An interface made before now (a title change while a reader listens)
    // is cached with the old role: drop it so the next query makes a frame.
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&form1);
        iface && iface->role() != QAccessible::Window)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

void describeReadouts(QWidget& form1)
{
    if (auto* freq = control<QLineEdit>(form1, QStringLiteral("txtFreq"))) {
        freq->setAccessibleName(QStringLiteral("Frequency"));
        freq->setAccessibleDescription(QStringLiteral("In megahertz. Alt+F comes here."));
        // Alt+F puts the reader on the frequency; the box's text is then read.
        auto* jump = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F), &form1);
        jump->setObjectName(QStringLiteral("jumpToFrequency"));
        QObject::connect(jump, &QShortcut::activated, freq, [freq] { freq->setFocus(Qt::OtherFocusReason); });
    }
    if (auto* mode = control<QLineEdit>(form1, QStringLiteral("txtMode")))
        mode->setAccessibleName(QStringLiteral("Mode"));
    if (auto* meter = control<QProgressBar>(form1, QStringLiteral("pbarSmeter"))) {
        meter->setAccessibleName(QStringLiteral("S-meter"));
        meter->setAccessibleDescription(meterSpoken(meter, meter->value()));
        // Only a new level changes the words, so a steady signal stays quiet.
        QObject::connect(meter, &QProgressBar::valueChanged, meter,
                         [meter](int level) { meter->setAccessibleDescription(meterSpoken(meter, level)); });
    }
    // The scale is drawn for the eye; its reading is the S-meter's description.
    if (auto* scale = control<QLabel>(form1, QStringLiteral("Label1"))) {
        scale->setAccessibleName(QStringLiteral("S-meter scale"));
        scale->setProperty(kNotExposed, true);
        scale->setProperty(kScaleCaption, scale->text());
    }
    if (auto* uplink = control<QLineEdit>(form1, QStringLiteral("txtUplink"))) {
        uplink->setAccessibleName(QStringLiteral("Uplink"));
        uplink->setAccessibleDescription(QStringLiteral("Satellite mode: the transmit frequency and mode"));
    }
    if (auto* badge = control<QLabel>(form1, QStringLiteral("lblTransmit")))
        badge->setAccessibleName(QStringLiteral("Transmitting"));
    // The empty framed box behind the step labels.
    if (auto* box = control<QLabel>(form1, QStringLiteral("Label5")))
        box->setProperty(kNotExposed, true);
}

void describeSliders(QWidget& form1)
{
    const std::array<const char*, 3> sliderNames{"sldLow", "sldMid", "sldHigh"};
    const QList<QLabel*> labels = form1.findChildren<QLabel*>();
    for (std::size_t s = 0; s < sliderNames.size(); ++s) {
        auto* slider = control<QSlider>(form1, QLatin1String(sliderNames[s]));
        if (!slider)
            continue;
        const auto which = static_cast<TuningSlider>(s);
        slider->setAccessibleName(TuningSliderName(which));
        for (QLabel* label : labels) {
            if (label->text() == QLatin1String(kSliderSteps[s].caption)) {
                label->setBuddy(slider);
                label->setAccessibleName(TuningReachText(which));
            }
        }
    }
}

void describeButtons(QWidget& form1)
{
    for (std::size_t i = 0; i < kBandButtons.size(); ++i)
        if (auto* button = control<QPushButton>(form1, QStringLiteral("Command1(%1)").arg(i)))
            button->setAccessibleName(BandButtonName(kBandButtons[i]));
    for (std::size_t i = 0; i < kModeButtons.size(); ++i) {
        auto* button = control<QPushButton>(form1, QStringLiteral("Command2(%1)").arg(i));
        const QString name = ModeButtonName(kModeButtons[i].caption);
        if (button && name != QLatin1String(kModeButtons[i].caption))
            button->setAccessibleName(name);
    }
    if (auto* up = control<QPushButton>(form1, QStringLiteral("cmdMhzPlus")))
        up->setAccessibleName(QStringLiteral("1 MHz up"));
    if (auto* down = control<QPushButton>(form1, QStringLiteral("cmdMhzMinus")))
        down->setAccessibleName(QStringLiteral("1 MHz down"));
    if (auto* memories = control<QWidget>(form1, QStringLiteral("cboMemories")))
        memories->setAccessibleName(QStringLiteral("Preset frequency"));
    if (auto* decimals = control<QPushButton>(form1, QStringLiteral("cmdDecimals")))
        decimals->setAccessibleDescription(QStringLiteral("Shows or hides the last two digits of the frequency"));
    if (auto* speak = control<QPushButton>(form1, QStringLiteral("cmdSpeak")))
        speak->setAccessibleDescription(QStringLiteral("Reads the frequency aloud"));
    if (auto* resume = control<QPushButton>(form1, QStringLiteral("cmdTakeControl")))
        resume->setAccessibleDescription(QStringLiteral("Takes control of the radio again"));
    if (auto* stop = control<QPushButton>(form1, QStringLiteral("cmdTransmit"))) {
        ShowKeyingState(stop, false);
        stop->setAccessibleDescription(QStringLiteral("Stop ends a transmission at once, whoever keyed the radio, "
                                                      "and no program may key it again until Allow. Escape stops too."));
    }
    if (auto* satellite = control<QPushButton>(form1, QStringLiteral("cmdSatellite"))) {
        satellite->setAccessibleName(QStringLiteral("Satellite mode"));
        satellite->setAccessibleDescription(QStringLiteral("Turns the radio's satellite mode on or off; "
                                                           "press it too when the radio is already in it"));
    }
}

} // namespace

void DescribeForAssistiveTech(QWidget& form1)
{
    describeWindow(form1);
    describeReadouts(form1);
    describeSliders(form1);
    describeButtons(form1);
    DescribeNoticeLine(form1);
}

void ShowDecimalsState(QPushButton* button, bool on)
{
    if (button)
        button->setAccessibleName(on ? QStringLiteral("Decimals on") : QStringLiteral("Decimals off"));
}

void ShowKeyingState(QPushButton* button, bool keyingStopped)
{
    if (!button)
        return;
    button->setText(KeyingButtonCaption(keyingStopped));
    button->setAccessibleName(KeyingButtonName(keyingStopped));
}

namespace {

// The bar's name, reading, tooltip and scale caption for what it shows now.
void describeMeter(QWidget& form1, QProgressBar* meter)
{
    const bool powerOut = meter->property(kPowerOut).toBool();
    const bool unavailable = meter->property(kUnavailable).toBool();
    const QString name = powerOut ? QStringLiteral("Power out") : QStringLiteral("S-meter");
    meter->setAccessibleName(unavailable ? MeterUnavailableText(powerOut) : name);
    meter->setToolTip(unavailable ? MeterUnavailableText(powerOut) : QString());
    meter->setAccessibleDescription(meterSpoken(meter, meter->value()));
    if (auto* scale = control<QLabel>(form1, QStringLiteral("Label1")))
        scale->setText(unavailable ? AssumedReadingsCaption()
                       : powerOut  ? QStringLiteral(" Power out")
                                   : scale->property(kScaleCaption).toString());
}

} // namespace

void ShowPowerOutMeter(QWidget& form1, bool powerOut)
{
    auto* meter = control<QProgressBar>(form1, QStringLiteral("pbarSmeter"));
    if (!meter || meter->property(kPowerOut).toBool() == powerOut)
        return;
    meter->setProperty(kPowerOut, powerOut);
    describeMeter(form1, meter);
}

void ShowReadingsAssumed(QWidget& form1, bool assumed)
{
    struct Readout {
        const char* box;
        const char* name;
    };
    for (const auto& [box, name] : {Readout{"txtFreq", "Frequency"}, Readout{"txtMode", "Mode"},
                                    Readout{"txtUplink", "Uplink"}}) {
        auto* readout = control<QLineEdit>(form1, QLatin1String(box));
        if (!readout)
            continue;
        readout->setAccessibleName(assumed ? AsLastSet(QLatin1String(name)) : QLatin1String(name));
        readout->setToolTip(assumed ? AssumedReadingsNotice() : QString());
    }
    auto* meter = control<QProgressBar>(form1, QStringLiteral("pbarSmeter"));
    if (!meter || meter->property(kUnavailable).toBool() == assumed)
        return;
    meter->setProperty(kUnavailable, assumed);
    if (assumed)
        meter->setValue(0);
    describeMeter(form1, meter);
}

void ShowBusy(QWidget& form1, bool busy)
{
    if (form1.property(kBusy).toBool() == busy)
        return;
    form1.setProperty(kBusy, busy);
    QAccessible::State changed;
    changed.busy = true;
    QAccessibleStateChangeEvent event(&form1, changed);
    QAccessible::updateAccessibility(&event);
}
