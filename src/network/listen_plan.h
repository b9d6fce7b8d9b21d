#pragma once
// Where the sharing server listens and who may connect, from [Network] and
// the command line. Pure: the settings and options in, a plan and what to
// tell the user out.

#include "allowed_sources.h"
#include "settings_store.h"

#include <QHostAddress>

#include <optional>

struct ListenPlan {
    bool listen = false;
    QHostAddress address;
    quint16 port = 0;
    // Where the user changes the port and the address, for messages:
    // "[Network] Port" and "[Network] Address", or "--listen" for both.
    QString changedBy;
    QString addressChangedBy;
    // Why nothing listens although the user asked (a malformed setting).
    QString problem;
    // Who may connect besides this computer: [Network] Allow, or without
    // it the private and link-local networks.
    AllowedSources allowed = PrivateNetworks();
    bool allowWritten = false; // `allowed` is the user's [Network] Allow

    // Only this computer can reach the server.
    bool Loopback() const { return address.isLoopback(); }
    // For a server other computers can reach: where it listens and who may
    // connect, to print once and show once. Empty for a loopback one.
    QString ExposureWarning() const;
    // Why a connection from `source` was refused, to print once per address.
    QString RefusalText(const QHostAddress& source) const;
};

// --no-listen wins, then --listen ADDRESS:PORT, then [Network]. [Network]
// Allow applies wherever the server listens.
ListenPlan PlanListening(const NetworkChoice& stored, bool noListen, const std::optional<QString>& listenAddress,
                         const std::optional<quint16>& listenPort);
