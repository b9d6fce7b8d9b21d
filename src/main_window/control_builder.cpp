#include "control_builder.h"

#include "control_layout.h"
#include "tuning_requests.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

QString rgbText(Rgb colour) { return QStringLiteral("rgb(%1,%2,%3)").arg(colour.r).arg(colour.g).arg(colour.b); }

QString styleFor(const ControlSpec& spec)
{
    QString style;
    if (spec.background.r >= 0)
        style += QStringLiteral("background-color: %1;").arg(rgbText(spec.background));
    if (spec.textColour.r >= 0)
        style += QStringLiteral(" color: %1;").arg(rgbText(spec.textColour));
    return style;
}

QString selectorFor(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Label: return QStringLiteral("QLabel");
    case ControlKind::Button:
    case ControlKind::Toggle: return QStringLiteral("QPushButton");
    case ControlKind::ComboBox: return QStringLiteral("QComboBox");
    default: return QStringLiteral("QLineEdit");
    }
}

Qt::Alignment alignmentOf(Align align)
{
    switch (align) {
    case Align::Centre: return Qt::AlignCenter;
    case Align::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case Align::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

int TwipsToPixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

void BuildControls(QWidget& form)
{
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const ControlSpec& spec : kMainWindowControls) {
        QWidget* widget = nullptr;
        const QString caption = QString::fromUtf8(spec.caption);
        switch (spec.kind) {
        case ControlKind::TextBox: {
            auto* box = new QLineEdit(&form);
            box->setAlignment(alignmentOf(spec.align));
            box->setReadOnly(true); // the radio writes it, the user reads it
            widget = box;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(caption, &form);
            label->setAlignment(alignmentOf(spec.align));
            if (spec.framed)
                label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setAutoFillBackground(true);
            widget = label;
            break;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(&form);
            bar->setRange(0, 31);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        case ControlKind::Button:
        case ControlKind::Toggle: {
            auto* button = new QPushButton(caption, &form);
            button->setAutoDefault(false);
            button->setCheckable(spec.kind == ControlKind::Toggle);
            widget = button;
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(&form);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setEditText(caption);
            widget = combo;
            break;
        }
        case ControlKind::Slider: {
            auto* slider = new QSlider(Qt::Horizontal, &form);
            slider->setRange(0, 100);
            slider->setValue(kSliderCentre);
            widget = slider;
            break;
        }
        case ControlKind::Notice: {
            // A frame around one label: a screen reader speaks the labels
            // inside a notification, not the notification's own name.
            auto* frame = new QFrame(&form);
            frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            auto* text = new QLabel(caption, frame);
            text->setObjectName(QString::fromLatin1(spec.name) + QStringLiteral("Text"));
            text->setWordWrap(true);
            text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            auto* layout = new QVBoxLayout(frame);
            layout->setContentsMargins(6, 2, 6, 2);
            layout->addWidget(text);
            widget = frame;
            break;
        }
        }
        widget->setObjectName(QString::fromLatin1(spec.name));
        widget->setGeometry(TwipsToPixels(spec.left), TwipsToPixels(spec.top), TwipsToPixels(spec.width), TwipsToPixels(spec.height));
        if (spec.font.family) {
            QFont font(QString::fromLatin1(spec.font.family));
            font.setPointSizeF(spec.font.points);
            font.setBold(spec.font.bold);
            widget->setFont(font);
        }
        if (!styleFor(spec).isEmpty()) {
            QString style = selectorFor(spec.kind) + QStringLiteral(" { ") + styleFor(spec);
            if (spec.kind == ControlKind::Button || spec.kind == ControlKind::Toggle)
                style += QStringLiteral(" border: 1px solid gray; border-radius: 2px; }"
                                        " QPushButton:pressed { background-color: rgb(200,200,200); }"
                                        " QPushButton:checked { background-color: rgb(255,128,0); border: 3px inset gray; }"
                                        " QPushButton:focus { border: 2px solid black; }");
            else if (spec.kind == ControlKind::Label && spec.framed)
                style += QStringLiteral(" border: 1px solid black; }");
            else
                style += QStringLiteral(" }");
            widget->setStyleSheet(style);
        }
        if (spec.hidden)
            widget->hide();
        if (widget->focusPolicy() != Qt::NoFocus)
            tabOrder.emplace_back(spec.tabIndex, widget);
    }

    std::stable_sort(tabOrder.begin(), tabOrder.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}
