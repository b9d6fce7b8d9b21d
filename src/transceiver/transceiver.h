#pragma once
// The radio's one owner: the link, the poll round, the last reading, the
// tuning requests and the commands. Widget-free: the window and the network
// server are its clients; both call its commands and listen to its signals,
// and nothing else writes its state.

#include "band_table.h"
#include "cat_protocol.h"
#include "radio_link.h"
#include "tuning_requests.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class Transceiver : public QObject {
    Q_OBJECT
public:
    // How often a missing device is looked for.
    static constexpr int WatchIntervalMs = 1000;

    Transceiver(SerialPort& port, UserMessages& messages, RadioLink::DeviceResolver resolveDevice,
                QObject* parent = nullptr);

    RadioLink& Link() { return link_; }
    const RadioLink& Link() const { return link_; }

    // --- Port -----------------------------------------------------------------
    // Opens the port (the message is shown when it cannot be). With
    // `watchIfMissing`, a device that is not there is watched for and opened
    // once it appears. Any OpenPort stops watching for an earlier device.
    bool OpenPort(int portNumber, const QString& settingsText, bool watchIfMissing);
    bool PortOpen() const { return link_.PortOpen(); }
    void ClosePort();
    bool WatchingForDevice() const { return watchTimer_.isActive(); }

    void TakeControl();
    void ReleaseControl();
    // The shutdown: drops what is queued, ends a wait in progress, sends the
    // release once the line has settled, then runs `then`.
    void ReleaseAndThen(std::function<void()> then);

    // While `held` says so (the Settings request), queued reads are skipped
    // and a wait in progress ends at once.
    void HoldReadsWhile(std::function<bool()> held) { link_.SetWaitBreaker(std::move(held)); }
    void BreakWait() { link_.BreakWait(); }
    // Added to the port message's details.
    void SetPortNote(const QString& note) { link_.SetPortNote(note); }

    // --- Poll -----------------------------------------------------------------
    // One round: frequency and mode, the S-meter, then pending tuning; then
    // roundFinished. With `readRadio` false the reads are skipped and the
    // round ends at once. False, and nothing started, while the line is busy.
    bool PollRound(bool readRadio);

    // --- The last reading -------------------------------------------------------
    bool HaveFrequency() const { return haveFrequency_; }
    cat::Frequency10Hz CurrentFrequency() const { return currentFrequency_; }
    QString FrequencyDigits() const { return frequencyDigits_; }
    std::uint8_t ModeCode() const { return modeCode_; }
    int SMeterLevel() const { return sMeterLevel_; }
    // Milliseconds since the last whole frequency reply; -1 when there is none.
    qint64 ReadingAgeMs() const;
    // The reading unless a set has gone out since: then the value set, until
    // a reading taken after it arrives. What a client that just set reads back.
    cat::Frequency10Hz ReportedFrequency() const;
    std::uint8_t ReportedModeCode() const;

    // --- Tuning requests, carried out by the poll ---------------------------------
    const TuningRequests& Tuning() const { return tuning_; }
    void SliderMouseDown(TuningSlider slider);
    void SliderMoved(TuningSlider slider, int value);
    void SliderMouseUp(TuningSlider slider);
    void SliderKeyStep(TuningSlider slider, int units);
    void MhzUp() { tuning_.MhzUp(); }
    void MhzDown() { tuning_.MhzDown(); }

    // --- Commands, queued behind whatever is on the line --------------------------
    // False, and nothing sent, for a frequency outside the tuning ranges.
    // `sent` learns whether the command reached the wire.
    bool SetFrequency(cat::Frequency10Hz frequency, RadioLink::SentHandler sent = {});
    bool SetFrequencyKhz(std::int64_t kilohertz);
    void SetMode(std::uint8_t modeCode, RadioLink::SentHandler sent = {});

signals:
    // A whole frequency reply came in; `changed` when it differs from the last.
    void frequencyRead(bool changed);
    void sMeterRead(int level);
    void roundFinished();
    // The watched device came back and the port is open again.
    void portReopened();
    void portLost();

private:
    void send(std::uint8_t opcode);
    void ReadFrequencyAndMode();
    void ReadSMeter();
    void ApplyPendingTuning();
    // The reading was taken after the last command that changes the radio.
    bool readingCurrent() const { return haveFrequency_ && readingSerial_ > lastSetSerial_; }
    void watchFor(const QString& device, bool seenMissing);
    void onWatchTick();

    UserMessages& messages_;
    RadioLink link_;
    TuningRequests tuning_;
    std::array<int, 3> sliderValues_{kSliderCentre, kSliderCentre, kSliderCentre};

    int portNumber_ = 0;
    QString settingsText_;
    QTimer watchTimer_;
    QString watchedDevice_;
    bool watchedSeenMissing_ = false;

    // Commands are numbered in queue order, which is wire order.
    quint64 serial_ = 0;
    quint64 lastSetSerial_ = 0;
    quint64 readingSerial_ = 0;

    bool haveFrequency_ = false;
    cat::Frequency10Hz currentFrequency_ = 0;
    QString frequencyDigits_;
    std::uint8_t modeCode_ = 0;
    int sMeterLevel_ = 0;
    QElapsedTimer readingClock_;

    cat::Frequency10Hz setFrequency_ = 0;
    quint64 setFrequencySerial_ = 0;
    std::uint8_t setModeCode_ = 0;
    quint64 setModeSerial_ = 0;
};
