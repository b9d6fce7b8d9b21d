#include "main_window.h"

#include "control_builder.h"
#include "control_layout.h"
#include "frequency_display.h"
#include "frequency_speaker.h"
#include "notice_line.h"
#include "port_mapping.h"
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

namespace {

const QString kWindowTitle = QStringLiteral("Solvane - FT-847 control, written by the Solvane developers");

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
    , radio_(parts_.port, parts_.messages, [this](int n) { return deviceForPort(n); }, this)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kWindowTitle);
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    BuildControls(*this);
    findControls();
    connectControls();

    connect(&radio_, &Transceiver::frequencyRead, this, &MainWindow::showReading);
    connect(&radio_, &Transceiver::sMeterRead, this, &MainWindow::showSMeter);
    connect(&radio_, &Transceiver::roundFinished, this, &MainWindow::Timer1_Timer);
    connect(&radio_, &Transceiver::silenceHint, this, [this](const QString& text) { ShowNotice(*this, text); });
    connectTransmitter();

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

void MainWindow::findControls()
{
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
    lblTransmit = findChild<QLabel*>(QStringLiteral("lblTransmit"));
    cmdTransmit = findChild<QPushButton*>(QStringLiteral("cmdTransmit"));
    cmdSatellite = findChild<QPushButton*>(QStringLiteral("cmdSatellite"));
    txtUplink = findChild<QLineEdit*>(QStringLiteral("txtUplink"));
    noticeLine = findChild<QFrame*>(QStringLiteral("noticeLine"));
    sliders = {sldLow, sldMid, sldHigh};
    for (int i = 0; i < 8; ++i)
        Command1[i] = findChild<QPushButton*>(QStringLiteral("Command1(%1)").arg(i));
    for (int i = 0; i < 6; ++i)
        Command2[i] = findChild<QPushButton*>(QStringLiteral("Command2(%1)").arg(i));
}

void MainWindow::connectControls()
{
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
    for (int s = 0; s < 3; ++s)
        connect(sliders[s], &QSlider::valueChanged, this,
                [this, s](int value) { radio_.SliderMoved(static_cast<TuningSlider>(s), value); });
}

// --- Start-up and shutdown ----------------------------------------------------

void MainWindow::Initialise()
{
    showDecimals_ = true;
    settingsRequested_ = false;
    const PortChoice stored = parts_.store.Load();
    commPortNumber_ = stored.CommPortNumber;
    commSettings_ = stored.CommSettings;
    radioAnswers_ = stored.RadioAnswers;
    radio_.SetPortNote(parts_.store.Problem());
    // What was last set is shown, marked so, for a radio that cannot be read.
    radio_.SetLastSet(parts_.store.LoadLastSet());
    radio_.SetRadioAnswers(radioAnswers_);
    if (!radioAnswers_)
        showAnswers();
    LoadMemories();
}

void MainWindow::Form_Load()
{
    Initialise();
    ShowDecimalsState(cmdDecimals, showDecimals_);
    radio_.OpenPort(commPortNumber_, commSettings_, true);
    cmdTakeControl_Click();
    cmdExit->setFocus();
}

void MainWindow::cmdTakeControl_Click()
{
    radio_.TakeControl();
    radio_.StartPolling();
}

void MainWindow::cmdExit_Click() { close(); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (unloaded_) {
        event->accept();
        return;
    }
    if (Speaking()) {
        // Speaking holds the program; the close follows its last sound. A
        // transmitter does not wait for it.
        if (radio_.Transmitting())
            radio_.StopTransmitting();
        closeAfterSpeaking_ = true;
        event->ignore();
        return;
    }
    if (unloading_) {
        event->ignore();
        return;
    }
    unloading_ = true;
    if (form2_)
        form2_->reject();
    emit unloadStarted();
    // The Transceiver answers what is queued, lets the clients go, and hands
    // the radio back last. The window closes once that is done; until then
    // the close is held back, never cancelled. With no port open it is done
    // at once, in this close rather than a nested one.
    radio_.ShutDown([this](bool released) { finishUnload(released); });
    if (unloaded_)
        event->accept();
    else
        event->ignore();
}

void MainWindow::finishUnload(bool released)
{
    if (unloaded_)
        return;
    // Stored only when the port was open to the end, as at every exit.
    if (released) {
        parts_.store.Save({commPortNumber_, commSettings_, radioAnswers_});
        if (!radioAnswers_)
            parts_.store.SaveLastSet(radio_.LastSetValues());
    }
    parts_.player.stop();
    unloaded_ = true;
    emit unloadFinished();
    // From the event loop, never inside a close already under way.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// --- Poll ---------------------------------------------------------------------

void MainWindow::Timer1_Timer()
{
    // A raised Settings request held the reads back: the dialog opens at the
    // end of this tick.
    if (settingsRequested_)
        Form_DblClick();
}

bool MainWindow::displayFrozen() const { return form2_ || Speaking(); }

void MainWindow::showReading(bool)
{
    if (displayFrozen())
        return;
    // Each box is written only when what it shows changes: a steady radio
    // costs no repaint and tells a screen reader nothing new.
    // Dashes, and no mode, where nothing is known: a radio that cannot be
    // read, with nothing set on the VFO shown yet.
    const VfoReading& reading = radio_.Reading(radio::Vfo::Current);
    const Shown now{reading.have, reading.frequency, reading.haveMode, reading.mode, showDecimals_};
    if (shown_ == now) {
        emit statusShown();
        return;
    }
    shown_ = now;
    frequencyText_ = reading.have ? FormatFrequencyText(reading.digits, showDecimals_) : NoFrequencyText(showDecimals_);
    const QString shown = frequencyText_.trimmed();
    if (txtFreq->text() != shown)
        txtFreq->setText(shown);
    modeText_ = reading.haveMode ? cat::ModeText(reading.mode) : QString();
    ShowMode(modeText_.trimmed());
    emit statusShown();
}

void MainWindow::showAnswers()
{
    ShowReadingsAssumed(*this, !radioAnswers_);
    if (radioAnswers_)
        return;
    showReading(true);
    showUplink();
    ShowNotice(*this, AssumedReadingsNotice());
}

void MainWindow::showSMeter(int level)
{
    // A receiver reading that crossed the key on the line is no power out.
    if (displayFrozen() || radio_.Transmitting())
        return;
    if (pbarSmeter->value() != level)
        pbarSmeter->setValue(level);
}

void MainWindow::ShowMode(const QString& text)
{
    if (txtMode->text() == text)
        return;
    QFont font = txtMode->font();
    font.setPointSizeF(kCourier45.points);
    const int room = txtMode->width() - 8; // the frame and margins
    while (font.pointSizeF() > 8 && QFontMetrics(font).horizontalAdvance(text) > room)
        font.setPointSizeF(font.pointSizeF() - 1);
    if (font != txtMode->font())
        txtMode->setFont(font);
    txtMode->setText(text);
}

void MainWindow::ShowSharing(const QString& status)
{
    setWindowTitle(status.isEmpty() ? kWindowTitle : kWindowTitle + QStringLiteral(" [") + status + QLatin1Char(']'));
}

void MainWindow::cmdDecimals_Click()
{
    showDecimals_ = !showDecimals_;
    ShowDecimalsState(cmdDecimals, showDecimals_);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress)
        lastInputWasKey_ = true;
    else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease)
        lastInputWasKey_ = false;
    if (escapeStopsTransmitting(watched, event))
        return true;
    // Speaking holds the program: no handler runs until the last sound has
    // played, though the window still repaints. Escape is the way out.
    if (Speaking() && isUserInput(type)) {
        if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            speaker_->Stop();
        return true;
    }
    if (auto* slider = qobject_cast<QSlider*>(watched))
        return sliderEvent(slider, event);
    return QWidget::eventFilter(watched, event);
}

// --- Speech -------------------------------------------------------------------

// Dashes are nothing to say.
void MainWindow::cmdSpeak_Click() { SpeakNumbers(radio_.HaveFrequency() ? txtFreq->text() : QString()); }

void MainWindow::SpeakNumbers(const QString& spokenText)
{
    if (Speaking())
        return;
    radio_.PausePolling(Transceiver::PollPause::Speech, true);
    ShowBusy(*this, true);
    speaker_->SpeakNumbers(spokenText);
}

void MainWindow::speakingFinished()
{
    ShowBusy(*this, false);
    if (closeAfterSpeaking_) {
        closeAfterSpeaking_ = false;
        close();
        return;
    }
    if (unloading_)
        return;
    radio_.PausePolling(Transceiver::PollPause::Speech, false);
    // What was set meanwhile reaches the display: no poll brings it.
    if (!radioAnswers_) {
        showReading(true);
        showUplink();
    }
}
