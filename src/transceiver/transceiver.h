#pragma once
// The radio's one owner: the link, the line's schedule, the poll, the last
// readings, the transmitter and satellite mode, the tuning requests and the
// commands. Widget-free: the window and the network clients are its clients;
// they queue requests and listen to its signals, and nothing else writes its
// state or decides what goes on the line.

#include "band_table.h"
#include "cat_protocol.h"
#include "last_set.h"
#include "poll_round.h"
#include "radio_link.h"
#include "radio_request.h"
#include "silence_watch.h"
#include "tuning_requests.h"
#include "turn_rules.h"
#include "vfo_reading.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <set>
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
    // A transmission ends after this unless the settings say otherwise.
    static constexpr int DefaultTransmitLimitS = 180;
    // The radio's report of its transmitter is not taken for this long after
    // Solvane's own key or receive has left the wire.
    static constexpr int OwnKeySettleMs = 100;

    // Who queued a request: the person at the radio, or a network client.
    using ClientId = int;
    static constexpr ClientId kWindow = 0;
    using Done = std::function<void(radio::Outcome)>;

    // Why the poll is paused; each holder ends only its own pause.
    enum class PollPause { Dialog, Speech };

    Transceiver(SerialPort& port, UserMessages& messages, RadioLink::DeviceResolver resolveDevice,
                QObject* parent = nullptr);

    RadioLink& Link() { return link_; }
    const RadioLink& Link() const { return link_; }

    // --- Port -----------------------------------------------------------------
    // Closes the open port (ClosePort) and opens `portNumber` (the message is
    // shown when it cannot be); `opened` learns whether it did. With
    // `watchIfMissing`, a device that is not there is watched for and opened
    // once it appears. Any OpenPort stops watching for an earlier device. A
    // radio that may still transmit (its port went while it was keyed) is
    // sent receive at once. True when the port is open as this returns.
    bool OpenPort(int portNumber, const QString& settingsText, bool watchIfMissing,
                  std::function<void(bool open)> opened = {});
    bool PortOpen() const { return link_.PortOpen(); }
    // Commands still queued are dropped: their senders are told so. Receive
    // owed (a transmitter keyed through this port) goes out first, and the
    // port closes once what was written has left the wire, within
    // ShutdownLimitMs; inline when nothing was owed.
    void ClosePort();
    bool WatchingForDevice() const { return watchTimer_.isActive(); }
    // A device that is there but will not open (busy, or its permissions not
    // yet set at boot) is retried quietly each WatchIntervalMs too: for a
    // service, where nobody is there to choose another port.
    void RetryRefusedDevice(bool retry) { retryRefused_ = retry; }
    // Added to the port message's details.
    void SetPortNote(const QString& note) { link_.SetPortNote(note); }

    // Queues CAT on (0x00) as the window's command; on a port just opened,
    // receive (0x88) follows, so a transmitter left keyed stops.
    void TakeControl();
    // The shutdown, in this order: the poll stops; shutdownStarted tells the
    // clients to stop sending; queued commands are dropped and their senders
    // told; receive, when owed, goes out as soon as the line allows, the
    // release (0x80) right after it, and the port closes once both have left
    // the wire. Then `done(released)`, within ShutdownLimitMs whatever
    // happens; `released` is false when the release never left.
    void ShutDown(std::function<void(bool released)> done);
    bool ShuttingDown() const { return shuttingDown_; }

    // --- A radio that cannot answer ---------------------------------------------
    // [Radio] Answers. False (an FT-847 before serial 8G05): nothing that
    // needs an answer goes out, so a round is its tuning alone; every set
    // goes in its turn, and what was last set on a VFO is its reading,
    // assumed (VfoReading::assumed). There is no meter, squelch or
    // transmitter status, and the transmitter is what Solvane keyed.
    void SetRadioAnswers(bool answers);
    bool RadioAnswers() const { return answers_; }
    // What was last set on each VFO, whatever the radio answers: given at
    // start from the settings, stored at exit.
    void SetLastSet(const radio::LastSet& values);
    const radio::LastSet& LastSetValues() const { return lastSet_; }
    // The silence hint comes after this much time of unanswered reads.
    void SetSilenceHintAfterMs(qint64 ms) { silence_.SetHintAfterMs(ms); }

    // --- Poll -----------------------------------------------------------------
    // The 10 Hz timer. Each tick makes a round due; its reads take turns on
    // the line with the clients' commands; pending tuning follows and then
    // roundFinished. A tick whose reads are held, or with the port closed,
    // finishes at once with no reads.
    QTimer& PollTimer() { return pollTimer_; }
    void StartPolling();
    // Poll only while a network client is connected (no window to feed).
    void PollOnlyForClients(bool onDemand);
    // A round as soon as the line allows, timer or not.
    void PollNow();
    // The window's say over the poll, honoured while no network client is
    // connected; with clients the poll goes on at its cadence through both.
    // HoldReads: rounds skip their reads and a wait in progress ends at once
    // (the Settings request). PausePolling: the timer stops while any holder
    // pauses it (the dialog, speaking).
    void HoldReads(bool held);
    void PausePolling(PollPause holder, bool paused);
    bool ReadsHeld() const { return readsHeld_ && clients_.empty(); }
    // Anything queued here or in the link, or on the line.
    bool Busy() const;

    // --- Clients --------------------------------------------------------------
    // A network client joins the circle of turns. `label` names it to the
    // person (its address); `mayKey` whether it may key the transmitter.
    // CloseClient drops what it still has queued (told NotSent) and unkeys a
    // transmitter it holds; ClientStoppedSending (it closed its end, replies
    // may still reach it) unkeys it too and drops a key still queued.
    ClientId OpenClient(const QString& label = {}, bool mayKey = true);
    void CloseClient(ClientId client);
    void ClientStoppedSending(ClientId client);
    int ClientCount() const { return int(clients_.size()); }
    // Calls `ready` once a round ends with a reading, the port is lost, or
    // FreshReadingWaitMs has passed, whichever comes first; asks for a round.
    void AwaitReading(std::function<void()> ready);

    // --- The last readings ------------------------------------------------------
    // The main VFO, or in satellite mode the downlink.
    bool HaveFrequency() const { return current().have; }
    cat::Frequency10Hz CurrentFrequency() const { return current().frequency; }
    QString FrequencyDigits() const { return current().digits; }
    std::uint8_t ModeCode() const { return current().mode; }
    int SMeterLevel() const { return sMeterLevel_; }
    int PowerOutLevel() const { return powerOutLevel_; }
    // The squelch at the last receiver status (E7) read.
    bool SquelchOpen() const { return squelchOpen_; }
    // Milliseconds since the last receiver (E7) and transmitter (F7) status
    // replies; -1 when there is none.
    qint64 RxStatusAgeMs() const { return rxStatusClock_.isValid() ? rxStatusClock_.elapsed() : -1; }
    qint64 TxStatusAgeMs() const { return txStatusClock_.isValid() ? txStatusClock_.elapsed() : -1; }
    // Milliseconds since the last meter reply (the S-meter, or the power
    // out while transmitting); -1 when there is none.
    qint64 MeterAgeMs() const { return meterClock_.isValid() ? meterClock_.elapsed() : -1; }
    // Milliseconds since the last whole frequency reply; -1 when there is none.
    qint64 ReadingAgeMs() const { return current().AgeMs(); }
    // A VFO's reading, with the values set on it since (VfoReading::Reported...).
    const VfoReading& Reading(radio::Vfo vfo) const { return readings_[std::size_t(vfo)]; }
    cat::Frequency10Hz ReportedFrequency() const { return current().ReportedFrequency(); }
    std::uint8_t ReportedModeCode() const { return current().ReportedMode(); }

    // --- Transmitter and satellite mode --------------------------------------------
    // On the air as far as Solvane knows: keyed through it, receive not yet
    // on the wire, or keyed at the radio (its microphone or foot switch).
    bool Transmitting() const { return turn_.Transmitting(); }
    // Keyed at the radio: no program holds it, and receive cannot end it.
    bool KeyedAtRadio() const { return turn_.keyedAtRadio; }
    // The transmitter as the turn rules know it.
    const radio::TurnState& Turn() const { return turn_; }
    // The label of the client that keyed; empty when none does.
    QString TransmitHolder() const;
    // [Transmit]: whether keying is allowed at all, and the time limit.
    void SetKeyingEnabled(bool enabled) { keyingEnabled_ = enabled; }
    void SetTransmitLimitSeconds(int seconds) { transmitLimitS_ = seconds; }
    int TransmitLimitSeconds() const { return transmitLimitS_; }
    // The person's stop: unkeys at once whoever holds the transmitter, and
    // refuses keying until AllowKeying.
    void StopTransmitting();
    void AllowKeying();
    bool KeyingStopped() const { return keyingStopped_; }
    // Satellite mode as Solvane last set it; the radio cannot be asked.
    bool Satellite() const { return turn_.satellite; }
    // Nothing may retune the transmitter now (keyed outside satellite mode).
    bool TuningLocked() const { return turn_.Transmitting() && !turn_.satellite; }

    // --- Tuning requests, carried out by the poll ---------------------------------
    const TuningRequests& Tuning() const { return tuning_; }
    void SliderMouseDown(TuningSlider slider);
    void SliderMoved(TuningSlider slider, int value);
    void SliderMouseUp(TuningSlider slider);
    void SliderKeyStep(TuningSlider slider, int units);
    void MhzUp() { tuning_.MhzUp(); }
    void MhzDown() { tuning_.MhzDown(); }

    // --- Requests, queued for their sender's turn on the line ---------------------
    // The window's: false, and nothing queued, for a frequency outside the
    // tuning ranges.
    bool SetFrequency(cat::Frequency10Hz frequency);
    bool SetFrequencyKhz(std::int64_t kilohertz);
    void SetMode(std::uint8_t modeCode);
    void SetSatellite(bool on);
    // Any sender's. `done` learns how it ended: Sent only once its bits are
    // out (or when nothing needed to go).
    void Submit(const radio::Request& request, Done done = {}, ClientId from = kWindow);

signals:
    // A whole frequency reply came in for the main VFO or the downlink;
    // `changed` when it differs from the last. For a radio that cannot
    // answer: the assumed reading changed (a set reached the line, or the
    // VFO shown is another one).
    void frequencyRead(bool changed);
    void uplinkRead(bool changed);
    void sMeterRead(int level);
    void powerOutRead(int level);
    void roundFinished();
    // The watched device came back and the port is open again.
    void portReopened();
    void portLost();
    // The shutdown has begun: clients should take no more requests. Their
    // queued commands are dropped (told NotSent) right after this.
    void shutdownStarted();
    // Keyed or unkeyed through Solvane; who holds it may have changed.
    void transmitChanged(bool transmitting);
    void keyingStoppedChanged(bool stopped);
    void satelliteChanged(bool on);
    // Something the person must hear about the transmitter: why it was
    // unkeyed, or that it may still be transmitting.
    void transmitNotice(const QString& text);
    // Reads have gone unanswered long enough since the port opened
    // (SilenceWatch): what to check. Once per opening.
    void silenceHint(const QString& text);

private:
    struct Pending {
        radio::Request request;
        Done done;
    };
    struct Client {
        ClientId id;
        QString label;
        bool mayKey = true;
        bool stoppedSending = false; // a key it sent is never put on the line
        std::deque<Pending> requests;
    };

    const VfoReading& current() const { return readings_[std::size_t(radio::Vfo::Current)]; }
    VfoReading& reading(radio::Vfo vfo) { return readings_[std::size_t(vfo)]; }
    Client* findClient(ClientId id);

    // --- The schedule (transceiver_schedule.cpp) ---
    void queue(Pending pending, ClientId from);
    bool setsQueued() const;
    void schedule();
    void takeTurns();
    // True when something went on the line.
    bool takeTurn(Pending pending, ClientId from, bool mayKey);
    void pollTurn();
    void finishRound();
    // Numbered as it goes to the link; returns its number.
    quint64 dispatch(RadioLink::Command command);
    void onPollTick();
    void updateTimer();
    void dropQueued();
    void resetRound();
    void releaseReadingWaiters();

    // --- Reads (transceiver_reading.cpp) ---
    void read(radio::PollRead what);
    void takeFrequencyReply(radio::Vfo vfo, quint64 serial, const QByteArray& reply);
    void takeTransmitterStatus(std::uint8_t status);
    void ApplyPendingTuning();
    bool readingCurrent() const { return current().TakenAfterSets() && !setsQueued(); }
    void forgetReadings();
    void commitSet(const radio::Request& request, quint64 serial);
    // A radio that cannot answer: the readings become what was last set on
    // the VFOs shown, as of the command numbered `serial`.
    void assumeReadings(quint64 serial);

    // --- The transmitter (transceiver_transmit.cpp) ---
    radio::TurnState turnState() const;
    void setTurn(const radio::TurnState& after);
    // Applies what `event` does to the transmitter. `why` is said once
    // receive it makes owed has left the wire.
    void applyTx(radio::TxEvent event, ClientId client = -1, const QString& why = {});
    void unkeyOnLine(bool onLine);
    void onTransmitLimit();
    void dropQueuedKeys(ClientId client);

    // --- Closing the port (transceiver.cpp) ---
    // Closes the port once receive owed and the bytes written have left the
    // wire, within ShutdownLimitMs; then `then`. A later call's `then`
    // replaces an earlier one's.
    void closePortThen(std::function<void()> then);
    void closeIfOnWire();
    void finishClosing();
    bool openNow(int portNumber, const QString& settingsText, bool watchIfMissing);

    void finishShutdown();
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
    bool retryRefused_ = false;
    bool freshPort_ = false; // opened since the last CAT on: receive follows it

    // The schedule.
    QTimer pollTimer_;
    bool polling_ = false;
    bool onDemand_ = false;
    std::set<PollPause> pauses_;
    bool readsHeld_ = false;
    bool roundDue_ = false;                    // a tick asked for a round
    bool roundRunning_ = false;                // a round's reads are under way
    std::deque<radio::PollRead> roundReads_;   // its reads still to go
    quint64 roundStartSerial_ = 0;             // commands before it have lower numbers
    bool lastTurnWasPoll_ = false;
    bool scheduling_ = false;
    bool rescheduled_ = false; // schedule() was asked again while it ran
    std::deque<Pending> windowQueue_;
    std::vector<Client> clients_; // the circle of turns
    std::size_t nextClient_ = 0;
    ClientId lastClientId_ = kWindow;
    std::vector<std::function<void()>> readingWaiters_;
    QTimer readingWaitTimer_;

    bool shuttingDown_ = false;
    bool released_ = false; // the release (0x80) left the wire
    std::function<void(bool)> shutdownDone_;
    QTimer shutdownGuard_;
    bool closing_ = false;     // the port closes once nothing is owed
    bool linkClosing_ = false; // the link drains and closes it
    std::function<void()> closeThen_;
    QTimer closeGuard_;

    // Commands are numbered as they go to the line, which is wire order.
    quint64 serial_ = 0;
    std::array<VfoReading, 2> readings_; // indexed by radio::Vfo
    quint64 readingsForgotten_ = 0;     // counts forgetReadings: a set answered later belongs to the old ones
    bool answers_ = true;
    radio::LastSet lastSet_;
    SilenceWatch silence_;
    int sMeterLevel_ = 0;
    int powerOutLevel_ = 0;
    bool squelchOpen_ = false;
    QElapsedTimer meterClock_;     // either status
    QElapsedTimer rxStatusClock_;
    QElapsedTimer txStatusClock_;
    bool lastStatusWasTx_ = false; // which status the last round read
    QElapsedTimer ownKeyChange_;   // since Solvane's own key or receive left the wire

    // The transmitter and satellite mode, as the turns left them.
    radio::TurnState turn_;
    bool keyingEnabled_ = true;
    bool keyingStopped_ = false;
    int transmitLimitS_ = DefaultTransmitLimitS;
    QTimer transmitLimit_;
    QString unkeyReason_; // said once the owed receive is on the wire
};
