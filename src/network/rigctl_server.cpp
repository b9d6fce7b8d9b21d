#include "rigctl_server.h"

#include "allowed_sources.h"
#include "rigctl_connection.h"

#include <QTcpSocket>

#include <algorithm>
#include <utility>

namespace {
constexpr int kRefusalSummaryPeriodMs = 60 * 1000;
}

RigctlServer::RigctlServer(RigBackend& backend, QObject* parent)
    : QObject(parent)
    , backend_(backend)
    , admission_([](const QHostAddress& source) { return MayConnect(source, PrivateNetworks()); })
{
    connect(&acceptor_, &TcpAcceptor::accepted, this, &RigctlServer::Accept);
    connect(&acceptor_, &TcpAcceptor::acceptFailed, this, &RigctlServer::acceptFailed);
    refusalSummary_.setSingleShot(true);
    refusalSummary_.setInterval(kRefusalSummaryPeriodMs);
    connect(&refusalSummary_, &QTimer::timeout, this, [this] {
        const RefusalLog::Summary summary = refusals_.TakeSummary();
        emit refusalsSummarized(summary.connections, summary.addresses);
    });
}

RigctlServer::~RigctlServer()
{
    closeAll();
    // Those still owed replies give back their turns as they are deleted.
}

void RigctlServer::setAdmission(Admission admission)
{
    admission_ = std::move(admission);
}

void RigctlServer::setRefusalReporting(int addressLimit, int summaryPeriodMs)
{
    refusals_.SetAddressLimit(addressLimit);
    refusalSummary_.setInterval(summaryPeriodMs);
}

bool RigctlServer::listen(const QHostAddress& address, quint16 port)
{
    // Qt binds "::" to IPv6 alone; Any is "::" with IPv4 clients too.
    return acceptor_.listen(address == QHostAddress(QHostAddress::AnyIPv6) ? QHostAddress(QHostAddress::Any) : address,
                            port);
}

bool RigctlServer::isListening() const
{
    return acceptor_.isListening();
}

QAbstractSocket::SocketError RigctlServer::serverError() const
{
    return acceptor_.serverError();
}

QString RigctlServer::errorString() const
{
    return acceptor_.errorString();
}

QHostAddress RigctlServer::serverAddress() const
{
    return acceptor_.serverAddress();
}

quint16 RigctlServer::serverPort() const
{
    return acceptor_.serverPort();
}

int RigctlServer::CountIn(ConnectionState state) const
{
    return int(std::count_if(connections_.begin(), connections_.end(),
                             [state](const RigctlConnection* c) { return c->State() == state; }));
}

int RigctlServer::clientCount() const
{
    return CountIn(ConnectionState::Serving);
}

int RigctlServer::parkedCount() const
{
    return CountIn(ConnectionState::Parked);
}

void RigctlServer::Accept(QTcpSocket* socket)
{
    // A client that reset before it was accepted has no address left:
    // nothing to serve, and nothing to report.
    const QHostAddress source = Unmapped(socket->peerAddress());
    if (source.isNull()) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (!admission_(source)) {
        Refuse(socket, source);
        return;
    }
    // Programs that reconnect all at once may arrive before the closing of
    // their old connections has been seen: a connection that finds every
    // slot taken waits for one, parked.
    if (clientCount() >= kMaxClients && parkedCount() >= kMaxParked) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    auto* connection = new RigctlConnection(socket, backend_, this);
    connect(connection, &RigctlConnection::stateChanged, this, &RigctlServer::OnStateChanged);
    connections_.push_back(connection);
    AdmitParked();
}

void RigctlServer::Refuse(QTcpSocket* socket, const QHostAddress& source)
{
    socket->abort();
    socket->deleteLater();
    if (refusals_.Refused(source))
        emit connectionRefused(source);
    else if (refusals_.HasUnreported() && !refusalSummary_.isActive())
        refusalSummary_.start();
}

void RigctlServer::OnStateChanged(RigctlConnection* connection)
{
    if (connection->State() == ConnectionState::Gone) {
        const auto found = std::find(connections_.begin(), connections_.end(), connection);
        if (found != connections_.end())
            connections_.erase(found);
        connection->deleteLater();
    }
    AdmitParked();
}

// Parked connections take free slots in the order they came. A connection
// admitted may change state at once (its early bytes said q): the list is
// scanned afresh each time, and a change meanwhile is picked up by the loop.
void RigctlServer::AdmitParked()
{
    if (admitting_)
        return;
    admitting_ = true;
    while (acceptor_.isListening() && clientCount() < kMaxClients) {
        const auto parked = std::find_if(connections_.begin(), connections_.end(),
                                         [](const RigctlConnection* c) { return c->State() == ConnectionState::Parked; });
        if (parked == connections_.end())
            break;
        (*parked)->Admit();
    }
    admitting_ = false;
    ReportCount();
}

void RigctlServer::ReportCount()
{
    const int count = clientCount();
    if (count == reportedCount_)
        return;
    reportedCount_ = count;
    emit clientCountChanged(count);
}

void RigctlServer::closeAll()
{
    acceptor_.close();
    // Each one leaves the list as it goes, after the replies it was given
    // (its dropped sets' errors among them) have gone out.
    const std::vector<RigctlConnection*> open = connections_;
    for (RigctlConnection* connection : open)
        connection->Close();
    ReportCount();
}
