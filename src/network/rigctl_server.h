#pragma once
// Serves the radio to other programs over TCP in the network rig-control
// protocol ("NET rigctl"). Reads are answered from the backend's snapshot;
// sets go into the radio's one command queue. Runs on the UI thread.

#include "connection_state.h"
#include "refusal_log.h"
#include "rig_backend.h"
#include "tcp_acceptor.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class RigctlConnection;
class QTcpSocket;

class RigctlServer : public QObject {
    Q_OBJECT
public:
    // Clients served at once. Beyond this, a connection waits kSlotWaitMs
    // for a slot to free, then is closed; beyond kMaxParked waiting, it is
    // closed at once.
    static constexpr int kMaxClients = 32;
    static constexpr int kMaxParked = kMaxClients;

    // Whether a client at this address may connect. An IPv4 client of a
    // server on both stacks is given as IPv4 ("127.0.0.1", not
    // "::ffff:127.0.0.1").
    using Admission = std::function<bool(const QHostAddress& source)>;

    explicit RigctlServer(RigBackend& backend, QObject* parent = nullptr);
    ~RigctlServer() override;

    // Who may connect; until set, this computer and the private and
    // link-local networks. A client it refuses is closed at once: it never
    // becomes a connection nor counts against kMaxClients.
    void setAdmission(Admission admission);
    // How refusals are reported (RefusalLog); for tests, a small limit and
    // a short summary period.
    void setRefusalReporting(int addressLimit, int summaryPeriodMs);

    // Starts listening; false with serverError() and errorString() set when
    // the address and port cannot be bound (another daemon holds the port,
    // for one). "::" listens on both IPv4 and IPv6.
    bool listen(const QHostAddress& address, quint16 port);
    bool isListening() const;
    QAbstractSocket::SocketError serverError() const;
    QString errorString() const;
    // QHostAddress::Any when listening on both stacks.
    QHostAddress serverAddress() const;
    quint16 serverPort() const; // the bound port, also when listen() was given 0

    // Connections being served: those waiting for a slot, and those that
    // have closed or are being closed, do not count.
    int clientCount() const;
    // Connections waiting for a slot.
    int parkedCount() const;

    // Stops listening and closes every connection (used at exit); replies
    // already given, and those to sets already waiting, still go out.
    void closeAll();

signals:
    void clientCountChanged(int count);
    // A client at `source` was refused; once per address, up to a limit.
    void connectionRefused(const QHostAddress& source);
    // Beyond that limit, once per period: refusals not reported one by one.
    void refusalsSummarized(int connections, int addresses);
    // The system refused to accept a connection (out of descriptors, say);
    // accepting pauses a moment, the clients waiting in the kernel.
    void acceptFailed(QAbstractSocket::SocketError error);

private:
    void Accept(QTcpSocket* socket);
    void Refuse(QTcpSocket* socket, const QHostAddress& source);
    int CountIn(ConnectionState state) const;
    void OnStateChanged(RigctlConnection* connection);
    void AdmitParked();
    void ReportCount();

    RigBackend& backend_;
    TcpAcceptor acceptor_;
    Admission admission_;
    RefusalLog refusals_;
    QTimer refusalSummary_;
    std::vector<RigctlConnection*> connections_; // all but the Gone, in arrival order
    bool admitting_ = false;
    int reportedCount_ = 0;
};
