#include "listen_plan.h"

ListenPlan PlanListening(const NetworkChoice& stored, bool noListen, const std::optional<QString>& listenAddress,
                         const std::optional<quint16>& listenPort)
{
    ListenPlan plan;
    if (noListen)
        return plan;
    if (listenAddress && listenPort) {
        plan.address = QHostAddress(*listenAddress);
        plan.port = *listenPort;
        plan.changedBy = QStringLiteral("--listen");
        plan.listen = !plan.address.isNull();
        if (!plan.listen)
            plan.problem = QStringLiteral("--listen %1 is not an address.").arg(*listenAddress);
        return plan;
    }
    if (!stored.Listen)
        return plan;
    plan.changedBy = QStringLiteral("[Network] Port");
    plan.address = QHostAddress(stored.Address);
    if (plan.address.isNull()) {
        plan.problem = QStringLiteral("[Network] Address=%1 is not an IP address; the sharing server is off.")
                           .arg(stored.Address);
        return plan;
    }
    if (stored.Port < 0 || stored.Port > 65535) {
        plan.problem = QStringLiteral("[Network] Port is not a port number; the sharing server is off.");
        return plan;
    }
    plan.port = quint16(stored.Port);
    plan.listen = true;
    return plan;
}
