#pragma once
// Form1: the one main window. It owns the poll timer and the controls, and
// turns window events into radio-link calls and replies into text.

#include "cat_protocol.h"
#include "radio_link.h"
#include "settings_store.h"
#include "settings_dialog.h"
#include "tuning_requests.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

class QComboBox;
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

    RadioLink& Link() { return link_; }
    QTimer& Timer1() { return timer1_; }
    const TuningRequests& Tuning() const { return tuning_; }
    cat::Frequency10Hz CurrentFrequency() const { return currentFrequency_; }
    bool HaveFrequency() const { return haveFrequency_; }
    QString FrequencyDigits() const { return frequencyDigits_; }
    QString FrequencyText() const { return frequencyText_; }
    QString ModeText() const { return modeText_; }
    bool ShowDecimals() const { return showDecimals_; }
    bool SettingsRequested() const { return settingsRequested_; }
    int CommPortNumber() const { return commPortNumber_; }
    QString CommSettings() const { return commSettings_; }
    bool Speaking() const;
    SettingsDialog* Form2() const { return form2_; }
    // The shutdown has run to its end (release sent, port closed, stored).
    bool Unloaded() const { return unloaded_; }

    // Handlers, public so that tests and the benchmark can drive them too.
    void Timer1_Timer();
    void cmdDecimals_Click();
    void cmdSettings_Click();
    void cmdTakeControl_Click() { TakeControl(); }
    void cmdExit_Click();
    void cmdMhzPlus_Click() { tuning_.MhzUp(); }
    void cmdMhzMinus_Click() { tuning_.MhzDown(); }
    void Command1_Click(int Index);
    void Command2_Click(int Index);
    void cboMemories_Click();
    void cmdSpeak_Click();
    void Form_DblClick();
    void SpeakNumbers(const QString& spokenText);
    // Puts a mode text in its box, in the layout's font or smaller when the
    // longest texts ("CW(N)-R") would not fit.
    void ShowMode(const QString& text);

signals:
    // The display now holds a new frequency and mode.
    void statusShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Initialise();
    void LoadMemories();
    void TakeControl();
    void ReleaseControl();
    void ReadFrequencyAndMode();
    void ReadSMeter();
    void ApplyPendingTuning();
    void endOfTick();
    void finishUnload();
    void speakingFinished();
    bool sliderEvent(QSlider* slider, QEvent* event);
    void applySettingsChoice(const QString& portText, const QString& settingsText, bool* portOpen);
    QString deviceForPort(int portNumber);

    MainWindowParts parts_;
    RadioLink link_;
    QTimer timer1_;
    TuningRequests tuning_;
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

private:
    // Memory channels, in file order.
    QStringList MemoryNames;
    QStringList MemoryFrequencies;
    QStringList MemoryModes;
    qsizetype LastMemoryIndex = -1;

    int commPortNumber_ = kDefaultCommPort;
    QString commSettings_ = kDefaultCommSettings;
    bool showDecimals_ = true;
    bool settingsRequested_ = false;
    cat::Frequency10Hz currentFrequency_ = 0;
    bool haveFrequency_ = false;
    QString frequencyDigits_;
    QString frequencyText_;
    QString modeText_;
    bool unloading_ = false;
    bool unloaded_ = false;
    bool closeAfterSpeaking_ = false;
};
