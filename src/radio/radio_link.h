#pragma once
// The radio link: one queue of exchanges, one serial port.
//
// An exchange is one whole command (its five bytes, the number of reply
// bytes to wait for, and its handlers). The queue puts one exchange at a time
// on the line, driven by timers, readyRead and bytesWritten, so the window
// never blocks. A command counts as sent only once its bits have had time to
// leave the line at the port's rate, so the kernel never holds two. No
// command starts while bytes from the radio are still arriving or expected:
// a reply counts as whole only after the line has stayed quiet for a short
// gap, and after a broken or timed-out wait the line must fall silent before
// the next command.
//
// A reply's length and the line's rate give the moment its last byte is
// due. On a line that has lately answered on time, the link reads the reply
// once, the quiet gap after that, and its bytes wake nobody on the way; a
// reply not whole by then is waited for byte by byte. Elsewhere (a line that
// garbles replies or answers late, and now and then to check) each byte is
// watched as it comes and the gap counted from the last one.

#include "cat_protocol.h"
#include "line_settings.h"
#include "serial_port.h"
#include "user_messages.h"

#include <QByteArray>
#include <QObject>
#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <functional>
#include <vector>

class RadioLink : public QObject {
    Q_OBJECT
public:
    // A silent radio, a lost byte or a short reply ends the wait after this.
    static constexpr int ReplyTimeout = 500; // ms
    // Beyond the command's own line time (10 ms for five bytes at 4800
    // baud), a send taking this long means a stuck line.
    static constexpr int SendTimeout = 500; // ms
    // After a reply wait ran out or was broken, a late answer may still be on
    // its way. The line must stay quiet this long (bytes arriving meanwhile
    // are dropped, for at most SettleLimit) before the next command, so the
    // late bytes are never taken as the next reply. After a send that ran
    // out of time, the stuck bytes may still leave: the settle also waits,
    // within the same limit, until the port holds none of them.
    static constexpr int SettleQuiet = 250; // ms
    static constexpr int SettleLimit = 1000; // ms
    // A port closes once the driver's queue is empty, or after this at most:
    // a wedged adapter must not hold the program.
    static constexpr int DrainLimit = 500; // ms
    // An idle line is watched for bytes (and a device that hangs up) once it
    // has been idle this long: longer than the poll's pause between rounds,
    // so that a steady poll never switches the watch on and off.
    static constexpr int IdleWatchDelay = 200; // ms
    // Replies read byte by byte, each whole and with its last byte within
    // half the gap's spare time (beyond the byte a stray would follow in) of
    // when it was due, before a reply is read once at its end; and one reply
    // in this many is read byte by byte again, to check.
    static constexpr int OnTimeReplies = 10;
    static constexpr int CheckEvery = 32;

    using ReplyHandler = std::function<void(const QByteArray& reply)>;
    using SentHandler = std::function<void(bool sent)>;
    using DeviceResolver = std::function<QString(int portNumber)>;

    // One whole exchange. `onReply` gets exactly `replyLength` bytes of a
    // whole reply; fewer after a time-out or a broken wait; none for a reply
    // garbled by surplus bytes. `onSent` learns whether the command left the
    // line (true) or was dropped (false: port closed, lost or stuck).
    struct Command {
        cat::CommandBytes bytes{};
        int replyLength = 0;
        ReplyHandler onReply;
        SentHandler onSent;
    };
    // A command with the reply length its opcode has.
    static Command Make(const cat::CommandBytes& bytes, ReplyHandler onReply = {}, SentHandler onSent = {});

    RadioLink(SerialPort& port, UserMessages& messages, DeviceResolver resolveDevice,
              QObject* parent = nullptr);

    // --- Port ---------------------------------------------------------------
    // Closes, reconfigures and reopens. A missing device, a port number that
    // names none or settings text the line cannot take all show the port
    // message once (nothing with `quiet`, for a retry of a device already
    // reported) and leave the port closed. Drops exchanges still queued.
    // True when the port is open afterwards.
    bool OpenPort(int portNumber, const QString& settingsText, bool quiet = false);
    bool PortOpen() const;
    void ClosePort();
    // The device the last OpenPort chose; empty when the number named none.
    QString Device() const { return device_; }
    // Added to the port message's details (e.g. why the port mapping may be off).
    void SetPortNote(const QString& note) { portNote_ = note; }
    // The quiet gap that ends a reply on the open line.
    int QuietGapMs() const { return quietGapMs_; }

    // The bytes of the command last put on the line.
    const cat::CommandBytes& CommandBuffer() const { return commandBuffer_; }

    // --- Exchanges ----------------------------------------------------------
    // Queues a whole command. With the port closed nothing is queued, and
    // `onSent` is told false at once.
    void SendCommand(Command command);
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
    // Forgets everything queued that has not reached the line yet, but for
    // urgent commands.
    void AbandonQueued();
    // Queues a command ahead of everything but other urgent ones (receive
    // owed, the release at exit). It goes on as soon as the line is free:
    // after bytes still leaving and after a reply already arriving or due
    // (within its line time and gap), but not after a wait for a reply that
    // is overdue with none of its bytes in, nor the settle after one; the
    // line settles after it instead. Only a port that closes or fails drops
    // it.
    void SendUrgent(Command command);
    // Closes the port once what was written has left the wire: no command
    // still queued or leaving, the driver's queue empty (DrainLimit at
    // most), and one command's line time more for an adapter's own buffer.
    // Then `closed`; inline when all that is so already. Closing the port
    // otherwise, or its failing, drops the request.
    void CloseWhenOnWire(std::function<void()> closed);

signals:
    // The open device failed; the port is closed and the message was shown.
    void portLost();
    void exchangeFinished(const QByteArray& command, const QByteArray& reply);
    void idle();

private:
    struct Exchange {
        cat::CommandBytes command{};
        int replyCount = 0;
        ReplyHandler handler;
        SentHandler sent;
        std::function<void()> step;
        bool urgent = false;
    };
    enum class LineState { Idle, Sending, Waiting, Gap, Settling };

    static Exchange ExchangeOf(Command command);
    void pump();
    // An urgent command is next and the settle in progress may give way to it.
    bool settleMayYield() const;
    void startExchange(Exchange exchange);
    bool awaitsReplyOnly() const;
    void checkSent();
    // The reply wait runs ReplyTimeout past the command's last bit.
    void beginWaiting(qint64 stillSendingUs);
    // The reply's line time and the gap after it are over: one read.
    void onReplyDue();
    void checkReply();
    void onGapOver();
    // Ends the wait for a reply with nothing in: a late one may still come
    // until the wait would have ended, and the settle after it lasts so long.
    void cutWait();
    // Whether the next reply is read once at its end, rather than watched
    // byte by byte.
    bool mayReadOnce();
    // The line gave a garbled, short, late or missing reply.
    void lineFaulted() { onTimeRun_ = 0; }
    // Reads up to `replyCount` bytes as the reply (none for a garbled one)
    // and hands it to the exchange's owner.
    void finishExchange(int replyCount, bool settleAfter, int settleQuietMs);
    void startSettling(int quietMs);
    void endSettling();
    void onDeadline();
    void onIdleWatch();
    void onPortFailed();
    void checkOnWire();
    qint64 nowUs() const { return lineClock_.nsecsElapsed() / 1000; }
    // Takes everything off the line and out of the queue, then tells the
    // owners of those exchanges that they were dropped.
    void dropAll(bool closePort);

    SerialPort& port_;
    UserMessages& messages_;
    DeviceResolver resolveDevice_;
    QString device_;
    QString portNote_;
    int quietGapMs_ = 3;
    LineSettings lineSettings_;

    cat::CommandBytes commandBuffer_{};
    QByteArray replyBytes_;
    // The bytes written and read for each exchange, kept so that no
    // exchange makes buffers of its own.
    QByteArray command_;
    QByteArray reply_;

    std::vector<Exchange> queue_;
    Exchange current_;
    LineState state_ = LineState::Idle;
    QTimer deadline_; // a stuck send, the reply's end, then its time-out
    bool replyDue_ = false; // deadline_ is set for the reply's end
    qint64 lastByteDueUs_ = 0;
    qint64 onTimeLimitUs_ = 0; // how late its last byte may come and still count on time
    qint64 lastByteLateUs_ = 0;
    qint64 waitEndsAtUs_ = 0;
    qint64 lateUntilUs_ = 0; // a late answer to a wait cut short may come until then
    bool readOnce_ = false;  // this reply is read once at its end
    int onTimeRun_ = 0;      // replies in a row that came whole and on time
    int readsSinceCheck_ = 0;
    QTimer lineTimer_; // until the command's bits have left the line
    QElapsedTimer sendClock_;
    qint64 lineTimeUs_ = 0;
    qint64 driverQueued_ = -1; // last seen, while the send waits on the driver
    QTimer gapTimer_;
    QTimer settleTimer_;
    QElapsedTimer settleClock_;
    int settleQuietMs_ = SettleQuiet;
    bool pumping_ = false;
    bool owedSettle_ = false; // an urgent command cut a wait or settle short
    std::function<bool()> waitBreaker_;
    // What was last written, and the close that waits for it to leave.
    QElapsedTimer lineClock_;
    qint64 lastWriteUs_ = 0;
    int lastWriteBytes_ = 0;
    std::function<void()> closeWhenOnWire_;
    qint64 onWireAtUs_ = 0;
    QElapsedTimer drainClock_;
    QTimer drainTimer_;
    QTimer idleWatch_;
};
