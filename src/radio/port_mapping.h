#pragma once
#include <QString>

// The device behind port number n: "COM<n>" on Windows; elsewhere the user's
// "Ports" entry for COM<n> when there is one, else /dev/ttyS<n-1>.
// Empty for a number that names no device (0 or below).
QString DeviceNameForPort(int portNumber, const QString& portsEntry);
