#pragma once
// The radio link: one command buffer, one queue of exchanges, one serial port.
//
// An exchange is the five bytes of CommandBuffer as they stood when
// SendCommand was called, plus the number of reply bytes to wait for. The
// queue puts one exchange at a time on the line, driven by readyRead,
// bytesWritten and timers, so the window never blocks. No command starts
// while bytes from the radio are still arriving or expected: a reply counts
// as whole only after the line has stayed quiet for a short gap, and after a
// broken or timed-out wait the line must fall silent before the next command.

#include "cat_protocol.h"
#include "line_settings.h"
#include "serial_port.h"
#include "user_messages.h"

#include <QByteArray>
#include <QObject>
#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <deque>
#include <functional>

class RadioLink : public QObject {
    Q_OBJECT
public:
    // A silent radio, a lost byte or a short reply ends the wait after this.
    static constexpr int ReplyTimeout = 500; // ms
    // Five bytes take 10 ms at 4800 baud; anything near this is a stuck line.
    static constexpr int SendTimeout = 500; // ms
    // After a reply wait ran out or was broken, a late answer may still be on
    // its way. The line must stay quiet this long (bytes arriving meanwhile
    // are dropped, for at most SettleLimit) before the next command, so the
    // late bytes are never taken as the next reply.
    static constexpr int SettleQuiet = 250; // ms
    static constexpr int SettleLimit = 1000; // ms

    using ReplyHandler = std::function<void(const QByteArray& reply)>;
    using SentHandler = std::function<void(bool sent)>;
    using DeviceResolver = std::function<QString(int portNumber)>;
    using CommandBytes = std::array<std::uint8_t, 5>;

    RadioLink(SerialPort& port, UserMessages& messages, DeviceResolver resolveDevice,
              QObject* parent = nullptr);

    // --- Port ---------------------------------------------------------------
    // Closes, reconfigures and reopens. A missing device, a port number that
    // names none or settings text the line cannot take all show the port
    // message once and leave the port closed. Drops exchanges still queued.
    // True when the port is open afterwards.
    bool OpenPort(int portNumber, const QString& settingsText);
    bool PortOpen() const;
    void ClosePort();
    // The device the last OpenPort chose; empty when the number named none.
    QString Device() const { return device_; }
    // Added to the port message's details (e.g. why the port mapping may be off).
    void SetPortNote(const QString& note) { portNote_ = note; }
    // The quiet gap that ends a reply on the open line.
    int QuietGapMs() const { return quietGapMs_; }

    // --- Command buffer -----------------------------------------------------
    const CommandBytes& CommandBuffer() const { return commandBuffer_; }
    void ClearParameters();
    void SetParameter(int index, std::uint8_t value); // index 0..3

    // Out-of-range values leave the parameters alone and raise OutOfRange.
    void EncodeFrequency(cat::Frequency10Hz value);
    void EncodeFrequencyKhz(std::int64_t kilohertz);
    bool OutOfRange() const { return outOfRange_; }
    const cat::DigitArray& DigitBuffer() const { return digitBuffer_; }

    // --- Exchanges ----------------------------------------------------------
    // Queues the buffer with this opcode. With the port closed nothing is
    // queued and nothing happens.
    void SendCommand(std::uint8_t opcode);
    // Makes the exchange just queued by SendCommand wait for `count` reply
    // bytes and hand them to `handler`: exactly the `count` bytes of a whole
    // reply; fewer after a time-out or a broken wait; none for a reply
    // garbled by surplus bytes. Does nothing when that SendCommand queued
    // nothing (port closed).
    void ReadReply(int count, ReplyHandler handler);
    // Tells `handler` whether the exchange just queued by SendCommand reached
    // the wire (true) or was dropped (false: port closed, lost or stuck).
    // With nothing queued it is told false at once.
    void WhenSent(SentHandler handler);
    // The last reply read on an open port.
    const QByteArray& ReplyBytes() const { return replyBytes_; }
    // Runs `step` once every exchange queued before it has finished.
    void Then(std::function<void()> step);

    // True while anything is queued or on the line.
    bool Busy() const;
    // The command is out and the reply wait has begun.
    bool AwaitingReply() const { return state_ == LineState::Waiting || state_ == LineState::Gap; }
    // While `breaker` says so (the Settings request), queued reads are
    // skipped rather than sent, and a wait in progress ends at once.
    void SetWaitBreaker(std::function<bool()> breaker) { waitBreaker_ = std::move(breaker); }
    // Ends the reply wait in progress now; the line then settles.
    void BreakWait();
    // Forgets everything queued that has not reached the line yet.
    void AbandonQueued();

signals:
    // The open device failed; the port is closed and the message was shown.
    void portLost();
    void exchangeFinished(const QByteArray& command, const QByteArray& reply);
    void idle();

private:
    struct Exchange {
        QByteArray command; // empty for a Then step
        int replyCount = 0;
        ReplyHandler handler;
        SentHandler sent;
        std::function<void()> step;
        quint64 id = 0;
    };
    enum class LineState { Idle, Sending, Waiting, Gap, Settling };

    Exchange* lastQueued();
    void pump();
    void startExchange(Exchange exchange);
    void checkSent();
    void beginWaiting();
    void checkReply();
    void onGapOver();
    void finishExchange(QByteArray reply, bool settleAfter, int settleQuietMs);
    void startSettling(int quietMs);
    void endSettling();
    void onDeadline();
    void onPortFailed();
    // Takes everything off the line and out of the queue, then tells the
    // owners of those exchanges that they were dropped.
    void dropAll(bool closePort);

    SerialPort& port_;
    UserMessages& messages_;
    DeviceResolver resolveDevice_;
    QString device_;
    QString portNote_;
    int quietGapMs_ = 3;

    CommandBytes commandBuffer_{};
    cat::DigitArray digitBuffer_{};
    bool outOfRange_ = false;
    QByteArray replyBytes_;

    std::deque<Exchange> queue_;
    Exchange current_;
    LineState state_ = LineState::Idle;
    QTimer deadline_;
    QTimer gapTimer_;
    QTimer settleTimer_;
    QElapsedTimer settleClock_;
    int settleQuietMs_ = SettleQuiet;
    quint64 nextId_ = 1;
    quint64 lastSentId_ = 0; // exchange that ReadReply may still extend
    bool pumping_ = false;
    std::function<bool()> waitBreaker_;
};
