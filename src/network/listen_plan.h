#pragma once
// Where the sharing server listens, from [Network] and the command line.
// Pure: the settings and options in, a plan and what to tell the user out.

#include "settings_store.h"

#include <QHostAddress>

#include <optional>

struct ListenPlan {
    bool listen = false;
    QHostAddress address;
    quint16 port = 0;
    // Where the user changes it, for messages: "[Network] Port" or "--listen".
    QString changedBy;
    // Why nothing listens although the user asked (a malformed setting).
    QString problem;
};

// --no-listen wins, then --listen ADDRESS:PORT, then [Network].
ListenPlan PlanListening(const NetworkChoice& stored, bool noListen, const std::optional<QString>& listenAddress,
                         const std::optional<quint16>& listenPort);
