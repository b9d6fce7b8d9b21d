#include "transmit_plan.h"

namespace {

QString KeyingOff(const QString& setting, const QString& why)
{
    return QStringLiteral("%1 %2: no program may key the transmitter in this run. Correct it in the [Transmit] "
                          "section of the settings file.")
        .arg(setting, why);
}

} // namespace

bool TransmitPlan::MayKey(const QHostAddress& source) const
{
    return keying && MayConnect(source, allowed);
}

TransmitPlan PlanTransmit(const TransmitChoice& choice)
{
    TransmitPlan plan;
    const QString enabled = choice.Enabled.toLower();
    if (enabled == QLatin1String("false") || enabled == QLatin1String("0") || enabled == QLatin1String("no")
        || enabled == QLatin1String("off")) {
        plan.keying = false;
        return plan;
    }
    if (!enabled.isEmpty() && enabled != QLatin1String("true") && enabled != QLatin1String("1")
        && enabled != QLatin1String("yes") && enabled != QLatin1String("on")) {
        plan.keying = false;
        plan.problem = KeyingOff(QStringLiteral("[Transmit] Enabled=%1").arg(choice.Enabled),
                                 QStringLiteral("is not true or false"));
        return plan;
    }
    if (!choice.Limit.isEmpty()) {
        bool ok = false;
        const int seconds = choice.Limit.toInt(&ok);
        if (!ok || seconds < TransmitPlan::kMinLimitS || seconds > TransmitPlan::kMaxLimitS) {
            plan.keying = false;
            plan.problem = KeyingOff(QStringLiteral("[Transmit] Limit=%1").arg(choice.Limit),
                                     QStringLiteral("is not a number of seconds from %1 to %2")
                                         .arg(TransmitPlan::kMinLimitS)
                                         .arg(TransmitPlan::kMaxLimitS));
            return plan;
        }
        plan.limitSeconds = seconds;
    }
    if (choice.Allow) {
        QString error;
        const auto allowed = ParseAllowList(*choice.Allow, &error);
        if (!allowed) {
            plan.keying = false;
            plan.problem = KeyingOff(QStringLiteral("[Transmit] Allow:"), error);
            return plan;
        }
        plan.allowed = *allowed;
    }
    return plan;
}
