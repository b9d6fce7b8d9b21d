#include "rig_sharing.h"

RigSharing::RigSharing(Transceiver& radio, QObject* parent)
    : QObject(parent)
    , backend_(radio)
    , server_(backend_)
{
    connect(&server_, &RigctlServer::clientCountChanged, this, [this] { emit statusChanged(Status()); });
}

bool RigSharing::Start(const ListenPlan& plan)
{
    problem_ = plan.problem;
    if (!plan.listen)
        return false;
    if (!server_.listen(plan.address, plan.port)) {
        const QString where = plan.address.protocol() == QAbstractSocket::IPv6Protocol
                                ? QStringLiteral("[%1]:%2").arg(plan.address.toString()).arg(plan.port)
                                : QStringLiteral("%1:%2").arg(plan.address.toString()).arg(plan.port);
        problem_ = QStringLiteral("Solvane cannot share the radio on %1 (%2). Another rig-control daemon may "
                                  "hold the port. Solvane runs on without sharing; choose another port with %3.")
                       .arg(where, server_.errorString(), plan.changedBy);
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

QString RigSharing::Status() const
{
    if (!server_.isListening())
        return {};
    const int n = server_.clientCount();
    return QStringLiteral("sharing on %1:%2, %3 program%4")
        .arg(server_.serverAddress().toString())
        .arg(server_.serverPort())
        .arg(n)
        .arg(n == 1 ? QString() : QStringLiteral("s"));
}
