#pragma once
// Serves the radio to other programs over TCP in the network rig-control
// protocol ("NET rigctl"). Reads are answered from the backend's snapshot;
// sets go into the radio's one command queue. Runs on the UI thread.

#include "rig_backend.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <vector>

class RigctlConnection;

class RigctlServer : public QObject {
    Q_OBJECT
public:
    // Connections beyond this are closed as soon as they arrive.
    static constexpr int kMaxClients = 32;

    explicit RigctlServer(RigBackend& backend, QObject* parent = nullptr);
    ~RigctlServer() override;

    // Starts listening; false with errorString() set when the address and
    // port cannot be bound (another daemon holds the port, for one).
    bool listen(const QHostAddress& address, quint16 port);
    bool isListening() const;
    QString errorString() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const; // the bound port, also when listen() was given 0

    int clientCount() const;

    // Stops listening and closes every connection at once (used at exit);
    // replies already given still go out.
    void closeAll();

signals:
    void clientCountChanged(int count);

private:
    void AcceptConnections();
    void Forget(RigctlConnection* connection);

    RigBackend& backend_;
    QTcpServer server_;
    std::vector<RigctlConnection*> connections_;
};
