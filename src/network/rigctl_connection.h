#pragma once
// One client of the rig-control server: reads its request lines, answers
// them strictly in order, and hands its sets to the radio's queue. A set
// waiting for the wire holds back this connection's later requests only.

#include "request_lines.h"
#include "rig_backend.h"
#include "rigctl_protocol.h"

#include <QObject>

#include <deque>
#include <optional>

class QTcpSocket;

class RigctlConnection : public QObject {
    Q_OBJECT
public:
    // Replies a client leaves unread beyond this, and it is dropped.
    static constexpr qint64 kMaxUnreadReplyBytes = 64 * 1024;

    // Takes ownership of the connected socket.
    RigctlConnection(QTcpSocket* socket, RigBackend& backend, QObject* parent = nullptr);

    // Ends the connection at once, dropping unsent replies.
    void Abort();

signals:
    // The connection has ended; it is deleted later.
    void finished(RigctlConnection* connection);

private:
    void AnswerRequests();
    bool TakeNextRequest();
    void StartSet(const rigctl::SetAction& set);
    void FinishSet(quint64 set, bool sent);
    void Send(const std::string& reply);
    void End();

    QTcpSocket* socket_;
    RigBackend& backend_;
    RequestLines lines_;
    rigctl::Session session_;
    std::deque<rigctl::Request> requests_;
    std::optional<rigctl::Request> waitingSet_; // sent to the queue, not yet on the wire
    quint64 setsStarted_ = 0;                   // tells a late or repeated report from the current one
    bool answering_ = false;                    // AnswerRequests is on the stack
    bool quitting_ = false; // the client said q; no more requests are read
    bool ended_ = false;
};
