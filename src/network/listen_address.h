#pragma once
// How a listening address is written and shown, for --listen and
// [Network] Address alike. Pure.

#include <QHostAddress>
#include <QString>

#include <optional>

// An IP address as Solvane takes one: IPv4 as a full dotted quad without
// leading zeros ("192.168.1.20"; not "127.1", which is a shorthand, nor
// "10.0.0.010", which reads as octal), IPv6 in its textual form ("::1",
// "fe80::1%eth0"). Host names are not addresses.
std::optional<QHostAddress> ParseIpAddress(const QString& text);

// An address to listen on, written as for ParseIpAddress. Two that parse
// cannot be listened on as written, and come back as nothing with `advice`
// saying what to write instead: an IPv4 address in IPv6 form
// ("::ffff:127.0.0.1": "is an IPv4 address in IPv6 form: write 127.0.0.1"),
// and a link-local IPv6 address without its interface ("fe80::1": write
// "fe80::1%eth0" with the interface's name). `advice` is left empty for
// text that is no address at all.
std::optional<QHostAddress> ParseListenAddress(const QString& text, QString* advice = nullptr);

// An IPv4-mapped IPv6 address ("::ffff:192.168.1.5", a dual-stack
// listener's view of an IPv4 client) as its IPv4 address; others as given.
QHostAddress Unmapped(const QHostAddress& address);

// "127.0.0.1:4532", or "[::1]:4532" for IPv6; "[::]:4532" for both stacks.
QString EndpointText(const QHostAddress& address, quint16 port);
