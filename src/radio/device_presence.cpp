#include "device_presence.h"

#ifdef Q_OS_WIN
#include <QSerialPortInfo>

#include <algorithm>

bool DevicePresent(const QString& device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("\\\\.\\")) || name.startsWith(QLatin1String("//./")))
        name.remove(0, 4);
    if (name.isEmpty())
        return false;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    return std::any_of(ports.begin(), ports.end(), [&name](const QSerialPortInfo& port) {
        return port.portName().compare(name, Qt::CaseInsensitive) == 0;
    });
}

#else
#include <QFileInfo>

bool DevicePresent(const QString& device) { return QFileInfo::exists(device); }

#endif
