#pragma once
// One client of the rig-control server: reads its request lines, answers
// them strictly in order, and hands its sets to its turn on the radio's
// line. A set waiting for the wire, or a read waiting for a fresh reading,
// holds back this connection's later requests only. What one read brought
// in is parsed and answered at once, and the replies leave in one write
// (ClientSocket moves the bytes).
//
// Its life is one ConnectionState; every change goes through Handle(), so
// the slot, the descriptors and the radio's turns are given back once.

#include "client_socket.h"
#include "connection_state.h"
#include "request_lines.h"
#include "rig_backend.h"
#include "rigctl_protocol.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <deque>
#include <optional>
#include <string>

class QTcpSocket;

class RigctlConnection : public QObject {
    Q_OBJECT
public:
    // Replies a client leaves unread beyond this, and it is dropped.
    static constexpr qint64 kMaxUnreadReplyBytes = 64 * 1024;

    // Takes ownership of the connected socket. It starts Parked: read, within
    // a bound, but neither answered nor one of the radio's clients until
    // Admit(); after kSlotWaitMs without, it goes.
    RigctlConnection(QTcpSocket* socket, RigBackend& backend, QObject* parent = nullptr);
    ~RigctlConnection() override;

    ConnectionState State() const { return state_; }

    // A slot is free: it joins the radio's turns and answers what it sent
    // while it waited.
    void Admit();
    // The program is ending: requests not yet taken are dropped unanswered,
    // a request already waiting still gets its answer (within
    // kRepliesOwedMs), and the connection ends once that has gone out.
    void Close();

signals:
    // The state changed from `from` to State(). Once Gone, nothing more
    // happens to it and its owner deletes it later.
    void stateChanged(RigctlConnection* connection, ConnectionState from);

private:
    void Handle(ConnectionEvent event);
    void CloseDescriptors();
    void OnDisconnected();
    void SettleIfDone();
    bool OwesNothing() const;
    void EndIfClosing();
    void DropInput();

    void AnswerRequests();
    bool TakeNextRequest();
    void StartSet(const rigctl::SetAction& set);
    void FinishSet(quint64 set, ActionResult result);
    void FinishReadingWait(quint64 wait);
    void Send(const std::string& reply);
    void Flush();

    QTcpSocket* socket_;
    RigBackend& backend_;
    // Taken at accept: Qt forgets them once the socket has closed.
    QHostAddress peerAddress_;
    quint16 peerPort_ = 0;
    ConnectionState state_ = ConnectionState::Parked;
    QTimer bound_; // how long the present state may last
    int client_ = 0; // its place in the line's turns, once Serving
    RequestLines lines_;
    rigctl::Session session_;
    std::deque<rigctl::Request> requests_;
    std::optional<rigctl::Request> waiting_; // a set not yet on the wire, or a read awaiting a reading
    bool waitedForReading_ = false;          // `waiting_` was held for a reading once already
    quint64 waitsStarted_ = 0;               // tells a late or repeated report from the current one
    std::string outbox_;                     // replies not yet written
    bool answering_ = false;                 // AnswerRequests is on the stack
    ClientSocket* io_;
};
