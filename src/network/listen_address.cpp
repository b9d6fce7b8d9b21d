#include "listen_address.h"

#include <QRegularExpression>

std::optional<QHostAddress> ParseListenAddress(const QString& text)
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

QString EndpointText(const QHostAddress& address, quint16 port)
{
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(address.toString()).arg(port);
    return QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}
