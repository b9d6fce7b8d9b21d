#include "rigctl_server.h"

#include "allowed_sources.h"
#include "rigctl_connection.h"

#include <QTcpSocket>

#include <algorithm>
#include <utility>

RigctlServer::RigctlServer(RigBackend& backend, QObject* parent)
    : QObject(parent)
    , backend_(backend)
    , admission_([](const QHostAddress& source) { return MayConnect(source, PrivateNetworks()); })
{
    connect(&server_, &QTcpServer::newConnection, this, &RigctlServer::AcceptConnections);
    slotGrace_.setSingleShot(true);
    connect(&slotGrace_, &QTimer::timeout, this, [this] {
        // Still no slot: turned away.
        for (QTcpSocket* socket : std::exchange(waitingForSlot_, {})) {
            socket->abort();
            socket->deleteLater();
        }
    });
}

RigctlServer::~RigctlServer()
{
    closeAll();
}

void RigctlServer::setAdmission(Admission admission)
{
    admission_ = std::move(admission);
}

bool RigctlServer::listen(const QHostAddress& address, quint16 port)
{
    return server_.listen(address, port);
}

bool RigctlServer::isListening() const
{
    return server_.isListening();
}

QAbstractSocket::SocketError RigctlServer::serverError() const
{
    return server_.serverError();
}

QString RigctlServer::errorString() const
{
    return server_.errorString();
}

QHostAddress RigctlServer::serverAddress() const
{
    return server_.serverAddress();
}

quint16 RigctlServer::serverPort() const
{
    return server_.serverPort();
}

int RigctlServer::clientCount() const
{
    return int(connections_.size());
}

void RigctlServer::AcceptConnections()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (!admission_(socket->peerAddress())) {
            Refuse(socket);
            continue;
        }
        if (clientCount() >= kMaxClients) {
            // Programs that reconnect all at once may arrive before the
            // closing of their old connections has been seen: a slot freed
            // within the grace goes to them.
            waitingForSlot_.push_back(socket);
            if (!slotGrace_.isActive())
                slotGrace_.start(kSlotGraceMs);
            continue;
        }
        Serve(socket);
    }
}

void RigctlServer::Serve(QTcpSocket* socket)
{
    // Replies are short and a client waits for each one.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto* connection = new RigctlConnection(socket, backend_, this);
    connect(connection, &RigctlConnection::finished, this, &RigctlServer::Forget);
    connections_.push_back(connection);
    emit clientCountChanged(clientCount());
}

void RigctlServer::Refuse(QTcpSocket* socket)
{
    const QHostAddress source = socket->peerAddress();
    socket->abort();
    socket->deleteLater();
    if (refused_.contains(source) || refused_.size() >= kMaxRefusedReported)
        return;
    refused_.insert(source);
    emit connectionRefused(source);
}

void RigctlServer::Forget(RigctlConnection* connection)
{
    const auto found = std::find(connections_.begin(), connections_.end(), connection);
    if (found == connections_.end())
        return;
    connections_.erase(found);
    connection->deleteLater();
    emit clientCountChanged(clientCount());
    if (!waitingForSlot_.empty() && server_.isListening()) {
        QTcpSocket* next = waitingForSlot_.front();
        waitingForSlot_.erase(waitingForSlot_.begin());
        Serve(next);
    }
}

void RigctlServer::closeAll()
{
    server_.close();
    slotGrace_.stop();
    for (QTcpSocket* socket : std::exchange(waitingForSlot_, {})) {
        socket->abort();
        socket->deleteLater();
    }
    // Each one leaves the list through Forget as it ends, after the replies
    // it was given (its dropped sets' errors among them) have gone out.
    const std::vector<RigctlConnection*> open = connections_;
    for (RigctlConnection* connection : open)
        connection->Close();
}
