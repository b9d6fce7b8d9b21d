#pragma once
// Serves the radio to other programs over TCP in the network rig-control
// protocol ("NET rigctl"). Reads are answered from the backend's snapshot;
// sets go into the radio's one command queue. Runs on the UI thread.

#include "rig_backend.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <vector>

class RigctlConnection;

class RigctlServer : public QObject {
    Q_OBJECT
public:
    // Connections beyond this wait kSlotGraceMs for a slot to free, then
    // are closed.
    static constexpr int kMaxClients = 32;
    static constexpr int kSlotGraceMs = 250;
    // Refused addresses remembered so each is reported once; beyond this
    // many, new ones go unreported.
    static constexpr int kMaxRefusedReported = 1024;

    // Whether a client at this address may connect.
    using Admission = std::function<bool(const QHostAddress& source)>;

    explicit RigctlServer(RigBackend& backend, QObject* parent = nullptr);
    ~RigctlServer() override;

    // Who may connect; until set, this computer and the private and
    // link-local networks. A client it refuses is closed at once: it never
    // becomes a connection nor counts against kMaxClients.
    void setAdmission(Admission admission);

    // Starts listening; false with serverError() and errorString() set when
    // the address and port cannot be bound (another daemon holds the port,
    // for one).
    bool listen(const QHostAddress& address, quint16 port);
    bool isListening() const;
    QAbstractSocket::SocketError serverError() const;
    QString errorString() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const; // the bound port, also when listen() was given 0

    int clientCount() const;

    // Stops listening and closes every connection at once (used at exit);
    // replies already given still go out.
    void closeAll();

signals:
    void clientCountChanged(int count);
    // A client at `source` was refused; once per address.
    void connectionRefused(const QHostAddress& source);

private:
    void AcceptConnections();
    void Serve(QTcpSocket* socket);
    void Forget(RigctlConnection* connection);
    void Refuse(QTcpSocket* socket);

    RigBackend& backend_;
    QTcpServer server_;
    Admission admission_;
    QSet<QHostAddress> refused_;
    std::vector<RigctlConnection*> connections_;
    std::vector<QTcpSocket*> waitingForSlot_;
    QTimer slotGrace_;
};
