#include "rig_sharing.h"

#include "listen_address.h"
#include "transceiver.h"

RigSharing::RigSharing(Transceiver& radio, QObject* parent)
    : QObject(parent)
    , radio_(radio)
    , backend_(radio)
    , server_(backend_)
{
    connect(&server_, &RigctlServer::clientCountChanged, this, [this] { emit statusChanged(Status()); });
    connect(&radio_, &Transceiver::transmitChanged, this, [this] { emit statusChanged(Status()); });
    connect(&server_, &RigctlServer::connectionRefused, this,
            [this](const QHostAddress& source) { emit connectionRefused(plan_.RefusalText(source)); });
    connect(&server_, &RigctlServer::refusalsSummarized, this, [this](int connections, int addresses) {
        emit connectionRefused(RefusalSummaryText(connections, addresses));
    });
    // The server pauses and tries again by itself; the user hears of it once
    // a minute at most, not at every try.
    connect(&server_, &RigctlServer::acceptFailed, this, [this](QAbstractSocket::SocketError error) {
        if (acceptTroubleSaid_.isValid() && acceptTroubleSaid_.elapsed() < kAcceptTroubleRepeatMs)
            return;
        acceptTroubleSaid_.start();
        emit connectionRefused(AcceptTroubleText(error));
    });
}

bool RigSharing::Start(const ListenPlan& plan)
{
    plan_ = plan;
    problem_ = plan.problem;
    if (!plan.listen)
        return false;
    server_.setAdmission([allowed = plan.allowed](const QHostAddress& source) { return MayConnect(source, allowed); });
    if (!server_.listen(plan.address, plan.port)) {
        problem_ = ListenProblem(plan, server_.serverError(), server_.errorString(), standalone_);
        return false;
    }
    emit statusChanged(Status());
    return true;
}

void RigSharing::Stop()
{
    server_.closeAll();
    emit statusChanged(Status());
}

void RigSharing::ApplyTransmitPlan(const TransmitPlan& plan)
{
    radio_.SetKeyingEnabled(plan.keying);
    radio_.SetTransmitLimitSeconds(plan.limitSeconds);
    backend_.SetKeyingAllowed([plan](const QHostAddress& source) { return plan.MayKey(source); });
}

QString RigSharing::Status() const
{
    if (!server_.isListening())
        return {};
    return SharingStatus(server_.serverAddress(), server_.serverPort(), server_.clientCount(),
                         radio_.TransmitHolder());
}

QString ListenProblem(const ListenPlan& plan, QAbstractSocket::SocketError error, const QString& errorText,
                      bool standalone)
{
    QString cause;
    QString change;
    switch (error) {
    case QAbstractSocket::AddressInUseError:
        cause = QStringLiteral("the port is in use; another rig-control daemon may hold it");
        change = QStringLiteral("choose another port with %1").arg(plan.changedBy);
        break;
    case QAbstractSocket::SocketAddressNotAvailableError:
        cause = QStringLiteral("%1 is not an address of this computer").arg(plan.address.toString());
        change = QStringLiteral("choose one of its addresses with %1").arg(plan.addressChangedBy);
        break;
    case QAbstractSocket::SocketAccessError:
        cause = plan.port < 1024 ? QStringLiteral("permission denied; ports below 1024 are reserved for the system")
                                 : QStringLiteral("permission denied");
        change = QStringLiteral("choose a port from 1024 up with %1").arg(plan.changedBy);
        break;
    default:
        cause = errorText;
        change = plan.addressChangedBy == plan.changedBy
                   ? QStringLiteral("check %1").arg(plan.changedBy)
                   : QStringLiteral("check %1 and %2").arg(plan.addressChangedBy, plan.changedBy);
        break;
    }
    return QStringLiteral("Solvane cannot share the radio on %1: %2. %3%4.")
        .arg(EndpointText(plan.address, plan.port), cause,
             standalone ? QString() : QStringLiteral("Solvane runs on without sharing; "),
             standalone ? change.left(1).toUpper() + change.mid(1) : change);
}

QString SharingStatus(const QHostAddress& address, quint16 port, int programs, const QString& transmitting)
{
    return QStringLiteral("sharing on %1%2, %3 program%4%5")
        .arg(EndpointText(address, port))
        .arg(address.isLoopback() ? QString() : QStringLiteral(" (open to the network)"))
        .arg(programs)
        .arg(programs == 1 ? QString() : QStringLiteral("s"))
        .arg(transmitting.isEmpty() ? QString() : QStringLiteral(", %1 transmitting").arg(transmitting));
}

QString RefusalSummaryText(int connections, int addresses)
{
    return QStringLiteral("refused %1 more connections from %2 addresses").arg(connections).arg(addresses);
}

QString AcceptTroubleText(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::SocketResourceError)
        return QStringLiteral("cannot take new connections for now: out of file descriptors; trying again");
    return QStringLiteral("cannot take new connections for now (socket error %1); trying again").arg(int(error));
}
