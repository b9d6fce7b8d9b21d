#pragma once
// The radio's one owner: the link, the line's schedule, the poll, the last
// reading, the tuning requests and the commands. Widget-free: the window and
// the network clients are its clients; they queue commands and listen to its
// signals, and nothing else writes its state or decides what goes on the line.

#include "band_table.h"
#include "cat_protocol.h"
#include "radio_link.h"
#include "tuning_requests.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <vector>

class Transceiver : public QObject {
    Q_OBJECT
public:
    // How often a missing device is looked for.
    static constexpr int WatchIntervalMs = 1000;
    // The poll: ten rounds a second.
    static constexpr int PollIntervalMs = 100;
    // The shutdown ends within this, whatever the line does.
    static constexpr int ShutdownLimitMs = 3000;
    // A client read that finds no fresh reading waits at most this long for one.
    static constexpr int FreshReadingWaitMs = 1500;

    // Who queued a command: the person at the radio, or a network client.
    using ClientId = int;
    static constexpr ClientId kWindow = 0;

    Transceiver(SerialPort& port, UserMessages& messages, RadioLink::DeviceResolver resolveDevice,
                QObject* parent = nullptr);

    RadioLink& Link() { return link_; }
    const RadioLink& Link() const { return link_; }

    // --- Port -----------------------------------------------------------------
    // Opens the port (the message is shown when it cannot be). With
    // `watchIfMissing`, a device that is not there is watched for and opened
    // once it appears. Any OpenPort stops watching for an earlier device.
    // Commands still queued are dropped: their senders are told so.
    bool OpenPort(int portNumber, const QString& settingsText, bool watchIfMissing);
    bool PortOpen() const { return link_.PortOpen(); }
    void ClosePort();
    bool WatchingForDevice() const { return watchTimer_.isActive(); }
    // Added to the port message's details.
    void SetPortNote(const QString& note) { link_.SetPortNote(note); }

    // Queues CAT on (0x00) as the window's command.
    void TakeControl();
    // The shutdown, in this order: the poll stops; shutdownStarted tells the
    // clients to stop sending; queued commands are dropped and their senders
    // told; a wait in progress ends; the release (0x80) goes out last and the
    // port closes. Then `done(released)`, within ShutdownLimitMs whatever happens;
    // `released` is false when the port was closed or lost before the end.
    void ShutDown(std::function<void(bool released)> done);
    bool ShuttingDown() const { return shuttingDown_; }

    // --- Poll -----------------------------------------------------------------
    // The 10 Hz timer. Each tick makes a round due: frequency and mode, the
    // S-meter, then pending tuning; roundFinished follows. A tick whose reads
    // are held, or with the port closed, finishes at once with no reads.
    QTimer& PollTimer() { return pollTimer_; }
    void StartPolling();
    // Poll only while a network client is connected (no window to feed).
    void PollOnlyForClients(bool onDemand);
    // A round as soon as the line allows, timer or not.
    void PollNow();
    // The window's say over the poll, honoured while no network client is
    // connected; with clients the poll goes on at its cadence through both.
    // HoldReads: rounds skip their reads and a wait in progress ends at once
    // (the Settings request). PausePolling: the timer stops (the dialog,
    // speaking); ending the pause restarts it.
    void HoldReads(bool held);
    void PausePolling(bool paused);
    bool ReadsHeld() const { return readsHeld_ && clients_.empty(); }
    // Anything queued here or in the link, or on the line.
    bool Busy() const;

    // --- Clients --------------------------------------------------------------
    // A network client joins the circle of turns; CloseClient drops what it
    // still has queued (told false).
    ClientId OpenClient();
    void CloseClient(ClientId client);
    int ClientCount() const { return int(clients_.size()); }
    // Calls `ready` once a round ends with a reading, the port is lost, or
    // FreshReadingWaitMs has passed, whichever comes first; asks for a round.
    void AwaitReading(std::function<void()> ready);

    // --- The last reading -------------------------------------------------------
    bool HaveFrequency() const { return haveFrequency_; }
    cat::Frequency10Hz CurrentFrequency() const { return currentFrequency_; }
    QString FrequencyDigits() const { return frequencyDigits_; }
    std::uint8_t ModeCode() const { return modeCode_; }
    int SMeterLevel() const { return sMeterLevel_; }
    // Milliseconds since the last whole frequency reply; -1 when there is none.
    qint64 ReadingAgeMs() const;
    // The reading unless a set has gone on the line since: then the value
    // set, until a reading taken after it arrives. What a client that just
    // set reads back.
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

    // --- Commands, queued for their sender's turn on the line ---------------------
    // False, and nothing queued, for a frequency outside the tuning ranges.
    // `sent` learns whether the command left the line: true only once its
    // bits are out, false when it was dropped or the port is closed.
    bool SetFrequency(cat::Frequency10Hz frequency, RadioLink::SentHandler sent = {}, ClientId from = kWindow);
    bool SetFrequencyKhz(std::int64_t kilohertz);
    void SetMode(std::uint8_t modeCode, RadioLink::SentHandler sent = {}, ClientId from = kWindow);

signals:
    // A whole frequency reply came in; `changed` when it differs from the last.
    void frequencyRead(bool changed);
    void sMeterRead(int level);
    void roundFinished();
    // The watched device came back and the port is open again.
    void portReopened();
    void portLost();
    // The shutdown has begun: clients should take no more requests. Their
    // queued commands are dropped (told false) right after this.
    void shutdownStarted();

private:
    struct ClientQueue {
        ClientId id;
        std::deque<RadioLink::Command> commands;
    };

    // --- The schedule (transceiver_schedule.cpp) ---
    void queue(RadioLink::Command command, ClientId from);
    bool setsQueued() const;
    void schedule();
    void startRound();
    void dispatch(RadioLink::Command command);
    void onPollTick();
    void updateTimer();
    void dropQueued();
    void resetRound();
    void releaseReadingWaiters();

    void finishShutdown();
    void ReadFrequencyAndMode();
    void ReadSMeter();
    void ApplyPendingTuning();
    // The reading was taken after the last command that changes the radio,
    // and none is waiting for its turn.
    bool readingCurrent() const { return haveFrequency_ && readingSerial_ > lastSetSerial_ && !setsQueued(); }
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

    // The schedule.
    QTimer pollTimer_;
    bool polling_ = false;
    bool onDemand_ = false;
    bool paused_ = false;
    bool readsHeld_ = false;
    bool pollDue_ = false;
    bool roundRunning_ = false;
    std::deque<RadioLink::Command> windowQueue_;
    std::vector<ClientQueue> clients_; // the circle of turns
    std::size_t nextClient_ = 0;
    ClientId lastClientId_ = kWindow;
    std::vector<std::function<void()>> readingWaiters_;
    QTimer readingWaitTimer_;

    bool shuttingDown_ = false;
    std::function<void(bool)> shutdownDone_;
    QTimer shutdownGuard_;

    // Commands are numbered as they go to the line, which is wire order.
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
