#include "main_window.h"

#include "band_table.h"
#include "control_layout.h"
#include "frequency_display.h"
#include "frequency_speaker.h"
#include "memory_file.h"
#include "port_mapping.h"
#include "settings_dialog.h"
#include "sound_player.h"
#include "window_accessibility.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <vector>

namespace {

constexpr int kPollIntervalMs = 100;

int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

QString styleFor(const ControlSpec& spec)
{
    if (spec.background.r < 0)
        return {};
    return QStringLiteral("background-color: rgb(%1,%2,%3);")
        .arg(spec.background.r)
        .arg(spec.background.g)
        .arg(spec.background.b);
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

// Input that counts as the user acting; swallowed while speaking.
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

MainWindow::MainWindow(MainWindowParts parts, QWidget* parent)
    : QWidget(parent)
    , parts_(std::move(parts))
    , link_(parts_.port, parts_.messages, [this](int n) { return deviceForPort(n); }, this)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Solvane - FT-847 control, written by the Solvane developers"));
    setFixedSize(px(kClientWidthTwips), px(kClientHeightTwips));
    buildControls();

    timer1_.setObjectName(QStringLiteral("Timer1"));
    connect(&timer1_, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
    link_.SetWaitBreaker([this] { return settingsRequested_; });
    connect(&link_, &RadioLink::portLost, this, [this] {
        // The poll goes on doing nothing until a port is chosen; a pending
        // reading no longer describes the radio.
        haveFrequency_ = false;
    });

    speaker_ = new FrequencySpeaker(&parts_.player, QStringList{parts_.soundFallbackDir}, this);
    connect(speaker_, &FrequencySpeaker::finished, this, &MainWindow::speakingFinished);
    qApp->installEventFilter(this);
    DescribeForAssistiveTech(*this);
}

MainWindow::~MainWindow() { qApp->removeEventFilter(this); }

QString MainWindow::deviceForPort(int portNumber)
{
    return DeviceNameForPort(portNumber, parts_.store.PortsEntry(portNumber));
}

bool MainWindow::Speaking() const { return speaker_ && speaker_->isSpeaking(); }

// --- Layout -------------------------------------------------------------------

void MainWindow::buildControls()
{
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const ControlSpec& spec : kMainWindowControls) {
        QWidget* widget = nullptr;
        const QString caption = QString::fromUtf8(spec.caption);
        switch (spec.kind) {
        case ControlKind::TextBox: {
            auto* box = new QLineEdit(this);
            box->setAlignment(alignmentOf(spec.align));
            box->setReadOnly(true); // the radio writes it, the user reads it
            widget = box;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(caption, this);
            label->setAlignment(alignmentOf(spec.align));
            if (spec.framed)
                label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setAutoFillBackground(true);
            widget = label;
            break;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(this);
            bar->setRange(0, 31);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);
            widget = button;
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(this);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setEditText(caption);
            widget = combo;
            break;
        }
        case ControlKind::Slider: {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setRange(0, 100);
            slider->setValue(kSliderCentre);
            widget = slider;
            break;
        }
        }
        widget->setObjectName(QString::fromLatin1(spec.name));
        widget->setGeometry(px(spec.left), px(spec.top), px(spec.width), px(spec.height));
        if (spec.font.family) {
            QFont font(QString::fromLatin1(spec.font.family));
            font.setPointSizeF(spec.font.points);
            font.setBold(spec.font.bold);
            widget->setFont(font);
        }
        if (!styleFor(spec).isEmpty()) {
            const QString selector = spec.kind == ControlKind::Label ? QStringLiteral("QLabel")
                                   : spec.kind == ControlKind::Button ? QStringLiteral("QPushButton")
                                   : spec.kind == ControlKind::ComboBox ? QStringLiteral("QComboBox")
                                                                        : QStringLiteral("QLineEdit");
            QString style = selector + QStringLiteral(" { ") + styleFor(spec);
            if (spec.kind == ControlKind::Button)
                style += QStringLiteral(" border: 1px solid gray; border-radius: 2px; }"
                                        " QPushButton:pressed { background-color: rgb(200,200,200); }"
                                        " QPushButton:focus { border: 2px solid black; }");
            else if (spec.kind == ControlKind::Label && spec.framed)
                style += QStringLiteral(" border: 1px solid black; }");
            else
                style += QStringLiteral(" }");
            widget->setStyleSheet(style);
        }
        if (widget->focusPolicy() != Qt::NoFocus)
            tabOrder.emplace_back(spec.tabIndex, widget);
    }

    txtFreq = findChild<QLineEdit*>(QStringLiteral("txtFreq"));
    txtMode = findChild<QLineEdit*>(QStringLiteral("txtMode"));
    Label1 = findChild<QLabel*>(QStringLiteral("Label1"));
    pbarSmeter = findChild<QProgressBar*>(QStringLiteral("pbarSmeter"));
    cboMemories = findChild<QComboBox*>(QStringLiteral("cboMemories"));
    cmdMhzPlus = findChild<QPushButton*>(QStringLiteral("cmdMhzPlus"));
    cmdMhzMinus = findChild<QPushButton*>(QStringLiteral("cmdMhzMinus"));
    cmdExit = findChild<QPushButton*>(QStringLiteral("cmdExit"));
    cmdDecimals = findChild<QPushButton*>(QStringLiteral("cmdDecimals"));
    cmdSettings = findChild<QPushButton*>(QStringLiteral("cmdSettings"));
    cmdTakeControl = findChild<QPushButton*>(QStringLiteral("cmdTakeControl"));
    cmdSpeak = findChild<QPushButton*>(QStringLiteral("cmdSpeak"));
    sldLow = findChild<QSlider*>(QStringLiteral("sldLow"));
    sldMid = findChild<QSlider*>(QStringLiteral("sldMid"));
    sldHigh = findChild<QSlider*>(QStringLiteral("sldHigh"));
    sliders = {sldLow, sldMid, sldHigh};
    for (int i = 0; i < 8; ++i)
        Command1[i] = findChild<QPushButton*>(QStringLiteral("Command1(%1)").arg(i));
    for (int i = 0; i < 6; ++i)
        Command2[i] = findChild<QPushButton*>(QStringLiteral("Command2(%1)").arg(i));

    std::stable_sort(tabOrder.begin(), tabOrder.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);

    for (int i = 0; i < 8; ++i)
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    for (int i = 0; i < 6; ++i)
        connect(Command2[i], &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
    connect(cmdExit, &QPushButton::clicked, this, &MainWindow::cmdExit_Click);
    connect(cmdDecimals, &QPushButton::clicked, this, &MainWindow::cmdDecimals_Click);
    connect(cmdSettings, &QPushButton::clicked, this, &MainWindow::cmdSettings_Click);
    connect(cmdTakeControl, &QPushButton::clicked, this, &MainWindow::cmdTakeControl_Click);
    connect(cmdSpeak, &QPushButton::clicked, this, &MainWindow::cmdSpeak_Click);
    connect(cmdMhzPlus, &QPushButton::clicked, this, &MainWindow::cmdMhzPlus_Click);
    connect(cmdMhzMinus, &QPushButton::clicked, this, &MainWindow::cmdMhzMinus_Click);
    connect(cboMemories, &QComboBox::activated, this, [this] { cboMemories_Click(); });

    for (int s = 0; s < 3; ++s) {
        QSlider* slider = sliders[s];
        // Any press on the slider counts, not just one on the handle, so the
        // mouse events are watched directly rather than sliderPressed.
        slider->installEventFilter(this);
        connect(slider, &QSlider::valueChanged, this,
                [this, s] { tuning_.SliderScroll(static_cast<TuningSlider>(s)); });
    }
}

// --- Start-up and shutdown ----------------------------------------------------

void MainWindow::Initialise()
{
    showDecimals_ = true;
    timer1_.setInterval(kPollIntervalMs);
    tuning_ = TuningRequests();
    settingsRequested_ = false;
    const PortChoice stored = parts_.store.Load();
    commPortNumber_ = stored.CommPortNumber;
    commSettings_ = stored.CommSettings;
    LoadMemories();
}

void MainWindow::Form_Load()
{
    Initialise();
    ShowDecimalsState(cmdDecimals, showDecimals_);
    link_.OpenPort(commPortNumber_, commSettings_);
    TakeControl();
    timer1_.start();
    cmdExit->setFocus();
}

void MainWindow::TakeControl()
{
    link_.ClearParameters();
    link_.SendCommand(cat::CatOn);
    timer1_.start();
}

void MainWindow::ReleaseControl()
{
    timer1_.stop();
    link_.ClearParameters();
    link_.SendCommand(cat::CatOff);
}

void MainWindow::cmdExit_Click()
{
    timer1_.stop();
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (unloaded_) {
        event->accept();
        return;
    }
    // The window closes once the release command is on the wire; until then
    // the close is held back, never cancelled.
    event->ignore();
    if (Speaking()) {
        closeAfterSpeaking_ = true;
        return;
    }
    if (unloading_)
        return;
    unloading_ = true;
    if (form2_)
        form2_->reject();
    // Whatever the poll still had queued is of no use now; a reply wait in
    // progress ends at once so the release goes out promptly.
    link_.AbandonQueued();
    link_.BreakWait();
    ReleaseControl();
    link_.Then([this] { finishUnload(); });
}

void MainWindow::finishUnload()
{
    if (link_.PortOpen()) {
        link_.ClosePort();
        parts_.store.Save({commPortNumber_, commSettings_});
    }
    if (parts_.player.isOpen())
        parts_.player.close();
    unloaded_ = true;
    close();
}

// --- Poll ---------------------------------------------------------------------

void MainWindow::Timer1_Timer()
{
    // One round at a time: a tick that finds the line busy starts nothing.
    if (link_.Busy())
        return;
    if (link_.PortOpen()) {
        ReadFrequencyAndMode();
        ReadSMeter();
        link_.Then([this] {
            if (link_.PortOpen())
                ApplyPendingTuning();
            endOfTick();
        });
    } else {
        endOfTick();
    }
}

void MainWindow::endOfTick()
{
    if (settingsRequested_)
        Form_DblClick();
}

void MainWindow::ReadFrequencyAndMode()
{
    link_.ClearParameters();
    link_.SendCommand(cat::ReadFrequencyMode);
    link_.ReadReply(cat::ReplyLength(cat::ReadFrequencyMode), [this](const QByteArray& reply) {
        const auto reading = DecodeFrequencyReply(reply);
        if (!reading)
            return; // short, long or garbled: the display keeps what it had
        frequencyDigits_ = reading->frequencyDigits;
        currentFrequency_ = reading->frequency;
        haveFrequency_ = true;
        frequencyText_ = FormatFrequencyText(frequencyDigits_, showDecimals_);
        txtFreq->setText(frequencyText_.trimmed());
        modeText_ = cat::ModeText(reading->modeCode);
        ShowMode(modeText_.trimmed());
        emit statusShown();
    });
}

void MainWindow::ReadSMeter()
{
    link_.ClearParameters();
    link_.SendCommand(cat::ReadRxStatus);
    link_.ReadReply(cat::ReplyLength(cat::ReadRxStatus), [this](const QByteArray& reply) {
        if (reply.size() != 1)
            return;
        pbarSmeter->setValue(SMeterLevel(static_cast<std::uint8_t>(reply[0])));
    });
}

void MainWindow::ShowMode(const QString& text)
{
    QFont font = txtMode->font();
    font.setPointSizeF(kCourier45.points);
    const int room = txtMode->width() - 8; // the frame and margins
    while (font.pointSizeF() > 8 && QFontMetrics(font).horizontalAdvance(text) > room)
        font.setPointSizeF(font.pointSizeF() - 1);
    txtMode->setFont(font);
    txtMode->setText(text);
}

void MainWindow::cmdDecimals_Click()
{
    showDecimals_ = !showDecimals_;
    ShowDecimalsState(cmdDecimals, showDecimals_);
}

// --- Tuning -------------------------------------------------------------------

void MainWindow::ApplyPendingTuning()
{
    const std::array<int, 3> values{sldLow->value(), sldMid->value(), sldHigh->value()};
    tuning_.ApplyPendingTuning(currentFrequency_, haveFrequency_, values, [this](cat::Frequency10Hz target) {
        link_.EncodeFrequency(target);
        if (link_.OutOfRange())
            return false;
        link_.SendCommand(cat::SetFrequency);
        return true;
    });
}

bool MainWindow::sliderEvent(QSlider* slider, QEvent* event)
{
    const int s = int(std::find(sliders.begin(), sliders.end(), slider) - sliders.begin());
    if (s < 0 || s > 2)
        return false;
    const auto which = static_cast<TuningSlider>(s);
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            tuning_.SliderMouseDown(which, currentFrequency_, haveFrequency_);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            // Let the slider finish its own release first, then spring back.
            QMetaObject::invokeMethod(this, [this, slider, which] {
                tuning_.SliderMouseUp(which);
                slider->setValue(kSliderCentre);
            }, Qt::QueuedConnection);
        }
    }
    return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Speaking holds the program: no handler runs until the last sound has
    // played, though the window still repaints.
    if (Speaking() && isUserInput(event->type()))
        return true;
    if (auto* slider = qobject_cast<QSlider*>(watched))
        return sliderEvent(slider, event);
    return QWidget::eventFilter(watched, event);
}

void MainWindow::Command1_Click(int Index)
{
    timer1_.stop();
    if (Index >= 0 && Index < int(kBandButtons.size())) {
        const BandButton& band = kBandButtons[Index];
        link_.EncodeFrequencyKhz(band.kilohertz); // every band spot is in range
        link_.SendCommand(cat::SetFrequency);
        link_.ClearParameters();
        link_.SetParameter(0, band.modeCode);
        link_.SendCommand(cat::SetMode);
    }
    timer1_.start();
}

void MainWindow::Command2_Click(int Index)
{
    timer1_.stop();
    if (Index >= 0 && Index < int(kModeButtons.size())) {
        link_.ClearParameters();
        link_.SetParameter(0, kModeButtons[Index].modeCode);
        link_.SendCommand(cat::SetMode);
    }
    timer1_.start();
}

// --- Memory channels ----------------------------------------------------------

void MainWindow::LoadMemories()
{
    const QList<memories::MemoryChannel> channels = memories::LoadMemoryFile(parts_.memoryFile);
    MemoryNames.clear();
    MemoryFrequencies.clear();
    MemoryModes.clear();
    MemoryNames.reserve(channels.size());
    for (const auto& channel : channels) {
        MemoryNames.append(channel.name);
        MemoryFrequencies.append(channel.frequencyText);
        MemoryModes.append(channel.modeWord);
    }
    LastMemoryIndex = MemoryNames.size() - 1;
    const QString caption = cboMemories->currentText();
    cboMemories->clear();
    cboMemories->addItems(MemoryNames);
    // No entry chosen yet: the first pick or the first Down key takes entry 0.
    cboMemories->setCurrentIndex(-1);
    cboMemories->setEditText(caption);
    // setEditText leaves the cursor at the end, scrolling the first letter off.
    cboMemories->lineEdit()->setCursorPosition(0);
}

void MainWindow::cboMemories_Click()
{
    const QString name = cboMemories->currentText();
    const qsizetype i = MemoryNames.indexOf(name);
    if (i < 0 || i > LastMemoryIndex)
        return;
    const memories::KhzValue khz = memories::ParseKilohertz(MemoryFrequencies[i]);
    if (!khz.fits)
        return; // too large for the radio's arithmetic: out of range
    link_.EncodeFrequencyKhz(khz.kilohertz);
    if (link_.OutOfRange())
        return;
    link_.SendCommand(cat::SetFrequency);
    link_.ClearParameters();
    if (const auto code = cat::ModeCodeForWord(MemoryModes[i]))
        link_.SetParameter(0, *code);
    link_.SendCommand(cat::SetMode); // an unknown word leaves 0: LSB
    cmdExit->setFocus();
}

// --- Settings -----------------------------------------------------------------

void MainWindow::cmdSettings_Click()
{
    settingsRequested_ = true;
    // Ends a wait on a silent radio at once; the tick then opens the dialog.
    link_.BreakWait();
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && childAt(event->position().toPoint()) == nullptr)
        Form_DblClick();
}

void MainWindow::Form_DblClick()
{
    if (form2_ || unloading_)
        return;
    timer1_.stop();
    auto* dialog = new SettingsDialog(commPortNumber_, commSettings_, this);
    form2_ = dialog;
    settingsRequested_ = false;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->onOk = [this](const QString& portText, const QString& settingsText) {
        bool open = false;
        applySettingsChoice(portText, settingsText, &open);
        return open;
    };
    dialog->describeDevice = [this](const QString& portText) {
        const auto number = ParsePortNumber(portText);
        if (!number)
            return QString();
        return deviceForPort(*number);
    };
    dialog->updateDeviceTip();
    connect(dialog, &QDialog::finished, this, [this] {
        if (!unloading_)
            timer1_.start();
    });
    // Window-modal and non-blocking: the dialog holds the user, not the code.
    dialog->open();
}

void MainWindow::applySettingsChoice(const QString& portText, const QString& settingsText, bool* portOpen)
{
    commSettings_ = settingsText;
    const auto number = ParsePortNumber(portText);
    if (!number) {
        // A number no port can have: handled like a port that cannot be opened.
        link_.ClosePort();
        parts_.messages.showPortNotAvailable();
        *portOpen = false;
        return;
    }
    commPortNumber_ = *number;
    link_.OpenPort(commPortNumber_, commSettings_);
    *portOpen = link_.PortOpen();
}

// --- Speech -------------------------------------------------------------------

void MainWindow::cmdSpeak_Click() { SpeakNumbers(txtFreq->text()); }

void MainWindow::SpeakNumbers(const QString& spokenText)
{
    if (Speaking())
        return;
    timer1_.stop();
    speaker_->SpeakNumbers(spokenText);
}

void MainWindow::speakingFinished()
{
    if (closeAfterSpeaking_) {
        closeAfterSpeaking_ = false;
        close();
        return;
    }
    if (!unloading_)
        timer1_.start();
}
