#include "listen_plan.h"

#include "listen_address.h"

namespace {

QString ServerOff(const QString& setting, const QString& why)
{
    return QStringLiteral("%1 %2; the sharing server is off.").arg(setting, why);
}

// Who may connect besides this computer, for messages.
QString WhoMayConnect(const ListenPlan& plan)
{
    if (plan.allowWritten)
        return plan.allowed.empty() ? QStringLiteral("no other computer ([Network] Allow is empty)")
                                    : QStringLiteral("[Network] Allow (%1)").arg(AllowListText(plan.allowed));
    return QStringLiteral("private and link-local networks (set [Network] Allow to choose)");
}

} // namespace

QString ListenPlan::ExposureWarning() const
{
    if (!listen || Loopback())
        return {};
    return QStringLiteral("Solvane shares the radio on %1, open to the network: other computers can tune it. "
                          "Besides this computer, %2 may connect.")
        .arg(EndpointText(address, port), WhoMayConnect(*this));
}

QString ListenPlan::RefusalText(const QHostAddress& source) const
{
    return QStringLiteral("refused a connection from %1: only this computer and %2 may connect.")
        .arg(Unmapped(source).toString(), WhoMayConnect(*this));
}

ListenPlan PlanListening(const NetworkChoice& stored, bool noListen, const std::optional<QString>& listenAddress,
                         const std::optional<quint16>& listenPort)
{
    ListenPlan plan;
    if (noListen)
        return plan;
    if (listenAddress && listenPort) {
        plan.changedBy = plan.addressChangedBy = QStringLiteral("--listen");
        QString advice;
        const auto address = ParseListenAddress(*listenAddress, &advice);
        if (!address) {
            plan.problem = advice.isEmpty() ? QStringLiteral("--listen %1 is not an address.").arg(*listenAddress)
                                            : QStringLiteral("--listen %1 %2.").arg(*listenAddress, advice);
            return plan;
        }
        plan.address = *address;
        plan.port = *listenPort;
    } else {
        if (!stored.Listen)
            return plan;
        plan.changedBy = QStringLiteral("[Network] Port");
        plan.addressChangedBy = QStringLiteral("[Network] Address");
        QString advice;
        const auto address = ParseListenAddress(stored.Address, &advice);
        if (!address) {
            plan.problem = ServerOff(QStringLiteral("[Network] Address=%1").arg(stored.Address),
                                     !advice.isEmpty() ? advice
                                                       : QStringLiteral("is not an IP address written out in full, "
                                                                        "such as 127.0.0.1 or ::1"));
            return plan;
        }
        if (stored.Port < 0 || stored.Port > 65535) {
            plan.problem = ServerOff(QStringLiteral("[Network] Port"), QStringLiteral("is not a port number"));
            return plan;
        }
        plan.address = *address;
        plan.port = quint16(stored.Port);
    }
    if (stored.Allow) {
        QString error;
        const auto allowed = ParseAllowList(*stored.Allow, &error);
        if (!allowed) {
            plan.problem = ServerOff(QStringLiteral("[Network] Allow:"), error);
            return plan;
        }
        plan.allowed = *allowed;
        plan.allowWritten = true;
    }
    plan.listen = true;
    return plan;
}
