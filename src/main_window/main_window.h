#pragma once
// Form1: the one main window, a view of the radio and one client of it. It
// owns the controls, the settings dialog and the speaking; the radio's state,
// its commands and the line's schedule (the poll timer, the holds, the
// shutdown order) belong to the Transceiver, which it calls and listens to.

#include "cat_protocol.h"
#include "settings_dialog.h"
#include "settings_store.h"
#include "transceiver.h"
#include "window_texts.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class SerialPort;
class SoundPlayer;
class FrequencySpeaker;

struct MainWindowParts {
    SerialPort& port;
    SettingsStore& store;
    UserMessages& messages;
    SoundPlayer& player;
    QString soundFallbackDir; // searched when the current directory has no sounds
    QString memoryFile = QStringLiteral("Memories.txt");
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowParts parts, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: settings and memories, open the port, take control, poll.
    void Form_Load();

    Transceiver& Radio() { return radio_; }
    RadioLink& Link() { return radio_.Link(); }
    QTimer& Timer1() { return radio_.PollTimer(); }
    const TuningRequests& Tuning() const { return radio_.Tuning(); }
    cat::Frequency10Hz CurrentFrequency() const { return radio_.CurrentFrequency(); }
    bool HaveFrequency() const { return radio_.HaveFrequency(); }
    QString FrequencyDigits() const { return radio_.FrequencyDigits(); }
    QString FrequencyText() const { return frequencyText_; }
    QString ModeText() const { return modeText_; }
    bool ShowDecimals() const { return showDecimals_; }
    bool SettingsRequested() const { return settingsRequested_; }
    int CommPortNumber() const { return commPortNumber_; }
    QString CommSettings() const { return commSettings_; }
    bool RadioAnswers() const { return radioAnswers_; }
    bool Speaking() const;
    SettingsDialog* Form2() const { return form2_; }
    // The shutdown has run to its end (release sent, port closed, stored).
    bool Unloaded() const { return unloaded_; }

    // Handlers, public so that tests and the benchmark can drive them too.
    // Timer1_Timer runs at the end of each poll tick.
    void Timer1_Timer();
    void cmdDecimals_Click();
    void cmdSettings_Click();
    void cmdTakeControl_Click();
    void cmdExit_Click();
    void cmdMhzPlus_Click();
    void cmdMhzMinus_Click();
    void Command1_Click(int Index);
    void Command2_Click(int Index);
    void cboMemories_Click();
    void cmdSpeak_Click();
    // The person's stop, or the allow that undoes it.
    void cmdTransmit_Click();
    void cmdSatellite_Click();
    void Form_DblClick();
    void SpeakNumbers(const QString& spokenText);
    // Shows what the sharing server is doing in the title; empty: nothing.
    void ShowSharing(const QString& status);
    // Puts a mode text in its box, in the layout's font or smaller when the
    // longest texts ("CW(N)-R") would not fit.
    void ShowMode(const QString& text);
    // The notice line's text: what the radio did, or why a press did nothing.
    QString NoticeText() const;

signals:
    // The display now holds a new frequency and mode.
    void statusShown();
    // Exit was pressed: the shutdown has begun.
    void unloadStarted();
    // The shutdown has run to its end; the window closes next.
    void unloadFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void findControls();
    void connectControls();
    void Initialise();
    void LoadMemories();
    void showReading(bool changed);
    void showSMeter(int level);
    // The readouts and the meter for a radio that answers reads or not.
    void showAnswers();
    // Transmitter and satellite mode (main_window_transmit.cpp).
    void connectTransmitter();
    void showTransmitting(bool on);
    void showPowerOut(int level);
    void showSatellite(bool on);
    void showUplink();
    // True, with the reason in the notice line, when `press` must do nothing now.
    bool refused(Press press);
    // Escape in this window while the radio transmits: the person's stop.
    bool escapeStopsTransmitting(QObject* watched, QEvent* event);
    // While the dialog is open or the window speaks, the display stays as it
    // was, and with no client connected the poll stops.
    bool displayFrozen() const;
    void finishUnload(bool released);
    void speakingFinished();
    bool sliderEvent(QSlider* slider, QEvent* event);
    void applySettingsChoice(const QString& portText, const QString& settingsText, bool radioAnswers,
                             SettingsDialog::Settled settled);
    QString deviceForPort(int portNumber);

    MainWindowParts parts_;
    Transceiver radio_;
    FrequencySpeaker* speaker_ = nullptr;
    QPointer<SettingsDialog> form2_;

    // Controls, named as the layout table names them.
public:
    QLineEdit* txtFreq = nullptr;
    QLineEdit* txtMode = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* pbarSmeter = nullptr;
    std::array<QPushButton*, 8> Command1{};
    std::array<QPushButton*, 6> Command2{};
    QComboBox* cboMemories = nullptr;
    QPushButton* cmdMhzPlus = nullptr;
    QPushButton* cmdMhzMinus = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdDecimals = nullptr;
    QPushButton* cmdSettings = nullptr;
    QPushButton* cmdTakeControl = nullptr;
    QPushButton* cmdSpeak = nullptr;
    std::array<QSlider*, 3> sliders{}; // sldLow, sldMid, sldHigh
    QSlider* sldLow = nullptr;
    QSlider* sldMid = nullptr;
    QSlider* sldHigh = nullptr;
    QLabel* lblTransmit = nullptr;
    QPushButton* cmdTransmit = nullptr;
    QPushButton* cmdSatellite = nullptr;
    QLineEdit* txtUplink = nullptr;
    QFrame* noticeLine = nullptr;

private:
    // Memory channels, in file order.
    QStringList MemoryNames;
    QStringList MemoryFrequencies;
    QStringList MemoryModes;
    qsizetype LastMemoryIndex = -1;

    int commPortNumber_ = kDefaultCommPort;
    QString commSettings_ = kDefaultCommSettings;
    bool radioAnswers_ = true;
    bool showDecimals_ = true;
    bool settingsRequested_ = false;
    QString frequencyText_;
    QString modeText_;
    // What the boxes were last written from: a steady radio builds no text.
    struct Shown {
        bool have = false;
        cat::Frequency10Hz frequency = -1;
        bool haveMode = false;
        std::uint8_t mode = 0;
        bool decimals = false;
        bool operator==(const Shown&) const = default;
    };
    std::optional<Shown> shown_;
    bool unloading_ = false;
    bool unloaded_ = false;
    bool closeAfterSpeaking_ = false;
    // The last input came from the keyboard (a memory picked by key keeps
    // the focus in the list).
    bool lastInputWasKey_ = false;
};
