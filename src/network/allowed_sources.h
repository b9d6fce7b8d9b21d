#pragma once
// Who may connect to the sharing server: this computer always, and the
// networks [Network] Allow names, or without it the private and link-local
// ones. Pure.

#include "listen_address.h"

#include <QHostAddress>
#include <QString>

#include <optional>
#include <vector>

struct Subnet {
    QHostAddress network;
    int prefixLength = 0;
    bool operator==(const Subnet&) const = default;
};

using AllowedSources = std::vector<Subnet>;

// 10/8, 172.16/12, 192.168/16, 169.254/16, fc00::/7 and fe80::/10.
AllowedSources PrivateNetworks();

// "192.168.1.0/24, fd00::/8, 203.0.113.5": addresses, each with or without a
// prefix length, separated by commas or spaces, each written as
// ParseIpAddress takes it. Nothing, with `error` naming the first entry that
// is not one, when any is malformed.
std::optional<AllowedSources> ParseAllowList(const QString& text, QString* error);

// "192.168.1.0/24, fd00::/8", for messages.
QString AllowListText(const AllowedSources& allowed);

// Loopback sources always; others only inside one of `allowed`.
bool MayConnect(const QHostAddress& source, const AllowedSources& allowed);
