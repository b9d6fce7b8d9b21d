#include "allowed_sources.h"

#include "listen_address.h"

#include <QRegularExpression>
#include <QStringList>

AllowedSources PrivateNetworks()
{
    return {
        {QHostAddress(QStringLiteral("10.0.0.0")), 8},
        {QHostAddress(QStringLiteral("172.16.0.0")), 12},
        {QHostAddress(QStringLiteral("192.168.0.0")), 16},
        {QHostAddress(QStringLiteral("169.254.0.0")), 16},
        {QHostAddress(QStringLiteral("fc00::")), 7},
        {QHostAddress(QStringLiteral("fe80::")), 10},
    };
}

std::optional<AllowedSources> ParseAllowList(const QString& text, QString* error)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QRegularExpression digits(QStringLiteral("^\\d{1,3}$"));
    AllowedSources allowed;
    for (const QString& entry : text.split(separators, Qt::SkipEmptyParts)) {
        const qsizetype slash = entry.indexOf(QLatin1Char('/'));
        const auto address = ParseIpAddress(slash < 0 ? entry : entry.left(slash));
        const int bits = address && address->protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
        int length = bits;
        if (address && slash >= 0) {
            const QString lengthText = entry.mid(slash + 1);
            length = digits.match(lengthText).hasMatch() ? lengthText.toInt() : -1;
        }
        if (!address || length < 0 || length > bits) {
            *error = QStringLiteral("'%1' is not an address or a network such as 192.168.1.0/24 or fd00::/8")
                         .arg(entry);
            return std::nullopt;
        }
        allowed.push_back({*address, length});
    }
    return allowed;
}

QString AllowListText(const AllowedSources& allowed)
{
    QStringList entries;
    for (const Subnet& subnet : allowed)
        entries << QStringLiteral("%1/%2").arg(subnet.network.toString()).arg(subnet.prefixLength);
    return entries.join(QStringLiteral(", "));
}

bool MayConnect(const QHostAddress& source, const AllowedSources& allowed)
{
    const QHostAddress from = Unmapped(source);
    if (from.isLoopback())
        return true;
    for (const Subnet& subnet : allowed)
        if (from.isInSubnet(subnet.network, subnet.prefixLength))
            return true;
    return false;
}
