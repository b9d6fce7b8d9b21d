#pragma once
// How a listening address is written and shown, for --listen and
// [Network] Address alike. Pure.

#include <QHostAddress>
#include <QString>

#include <optional>

// An IP address as Solvane takes one to listen on: IPv4 as a full dotted
// quad without leading zeros ("192.168.1.20"; not "127.1", which is a
// shorthand, nor "10.0.0.010", which reads as octal), IPv6 in its textual
// form ("::1", "fe80::1%eth0"). Host names are not addresses.
std::optional<QHostAddress> ParseListenAddress(const QString& text);

// "127.0.0.1:4532", or "[::1]:4532" for IPv6.
QString EndpointText(const QHostAddress& address, quint16 port);
