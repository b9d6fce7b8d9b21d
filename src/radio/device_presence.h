#pragma once
#include <QString>

// Whether the serial device named `device` is there now: a replugged
// adapter is watched for with this. On Unix the device node exists; on
// Windows, where "COM3" names no file, the port is among the system's
// serial ports (QSerialPortInfo), by name, with or without the "\\.\"
// prefix that COM10 and above take in a path.
bool DevicePresent(const QString& device);
