#include "listen_address.h"

#include <QRegularExpression>

std::optional<QHostAddress> ParseIpAddress(const QString& text)
{
    QHostAddress address;
    if (text.contains(QLatin1Char(':'))) {
        if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        return address;
    }
    static const QRegularExpression dottedQuad(
        QStringLiteral("^(0|[1-9]\\d{0,2})(\\.(0|[1-9]\\d{0,2})){3}$"));
    if (!dottedQuad.match(text).hasMatch() || !address.setAddress(text)
        || address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address;
}

std::optional<QHostAddress> ParseListenAddress(const QString& text, QString* advice)
{
    const auto address = ParseIpAddress(text);
    if (!address)
        return std::nullopt;
    QString instead;
    // The kernel refuses to bind a mapped address on an IPv6 socket.
    if (const QHostAddress ipv4 = Unmapped(*address); ipv4 != *address)
        instead = QStringLiteral("is an IPv4 address in IPv6 form: write %1").arg(ipv4.toString());
    // fe80::/10 exists on every interface; the kernel must be told which.
    else if (address->protocol() == QAbstractSocket::IPv6Protocol && address->isLinkLocal()
             && address->scopeId().isEmpty())
        instead = QStringLiteral("is a link-local address without its interface: write %1%eth0, with the name of "
                                 "the interface it is on")
                      .arg(address->toString());
    if (instead.isEmpty())
        return address;
    if (advice)
        *advice = instead;
    return std::nullopt;
}

QHostAddress Unmapped(const QHostAddress& address)
{
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return address;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 10; ++i)
        if (bytes[i] != 0)
            return address;
    if (bytes[10] != 0xff || bytes[11] != 0xff)
        return address;
    return QHostAddress(quint32(bytes[12]) << 24 | quint32(bytes[13]) << 16 | quint32(bytes[14]) << 8 | bytes[15]);
}

QString EndpointText(const QHostAddress& address, quint16 port)
{
    // Qt shows Any, the address of a server on both stacks, as "0.0.0.0".
    if (address == QHostAddress(QHostAddress::Any))
        return QStringLiteral("[::]:%1").arg(port);
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(address.toString()).arg(port);
    return QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}
