#include "port_mapping.h"

QString DeviceNameForPort(int portNumber, const QString& portsEntry)
{
    if (portNumber < 1)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(portsEntry);
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QString entry = portsEntry.trimmed();
    if (!entry.isEmpty())
        return entry;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}
