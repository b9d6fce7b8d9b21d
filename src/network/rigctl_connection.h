#pragma once
// One client of the rig-control server: reads its request lines, answers
// them strictly in order, and hands its sets to its turn on the radio's
// line. A set waiting for the wire, or a read waiting for a fresh reading,
// holds back this connection's later requests only. Replies to everything
// one read brought in leave in one write.

#include "request_lines.h"
#include "rig_backend.h"
#include "rigctl_protocol.h"

#include <QObject>

#include <deque>
#include <optional>
#include <string>

class QTcpSocket;

class RigctlConnection : public QObject {
    Q_OBJECT
public:
    // Replies a client leaves unread beyond this, and it is dropped.
    static constexpr qint64 kMaxUnreadReplyBytes = 64 * 1024;

    // Takes ownership of the connected socket.
    RigctlConnection(QTcpSocket* socket, RigBackend& backend, QObject* parent = nullptr);
    ~RigctlConnection() override;

    // Ends the connection at once, dropping unsent replies.
    void Abort();
    // The program is ending: requests not yet taken are dropped unanswered,
    // a request already waiting still gets its answer, and the connection
    // ends once that has gone out.
    void Close();

signals:
    // The connection has ended; it is deleted later.
    void finished(RigctlConnection* connection);

private:
    void AnswerRequests();
    bool TakeNextRequest();
    void StartSet(const rigctl::SetAction& set);
    void FinishSet(quint64 set, ActionResult result);
    void FinishReadingWait(quint64 wait);
    void Send(const std::string& reply);
    void Flush();
    void OnDisconnected();
    bool WorkPending() const;
    void FinishClosing();
    void End();

    QTcpSocket* socket_;
    RigBackend& backend_;
    int client_ = 0; // its place in the line's turns
    RequestLines lines_;
    rigctl::Session session_;
    std::deque<rigctl::Request> requests_;
    std::optional<rigctl::Request> waiting_; // a set not yet on the wire, or a read awaiting a reading
    bool waitedForReading_ = false;          // `waiting_` was held for a reading once already
    quint64 waitsStarted_ = 0;               // tells a late or repeated report from the current one
    std::string outbox_;                     // replies not yet written
    bool answering_ = false;                 // AnswerRequests is on the stack
    bool quitting_ = false;                  // the client said q; no more requests are read
    bool peerClosed_ = false;                // the client closed its sending side
    bool closing_ = false;                   // Close(): no more requests are taken
    int keepAlive_ = -1; // a second descriptor: replies still reach a client that half-closed
    bool ended_ = false;
};
