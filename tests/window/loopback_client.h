#pragma once
// A rig-control program on 127.0.0.1: the window's radio shared on a
// loopback port, and a client of it that keeps every reply line.

#include "loopback_line_client.h"
#include "main_window.h"
#include "rig_sharing.h"

#include <memory>

using Client = LineClient;

// The window's radio shared on a free loopback port, stopped when the
// window's shutdown begins; null when it cannot listen.
inline std::unique_ptr<RigSharing> ShareOnLoopback(MainWindow& window)
{
    auto sharing = std::make_unique<RigSharing>(window.Radio());
    QObject::connect(&window.Radio(), &Transceiver::shutdownStarted, sharing.get(), &RigSharing::Stop);
    ListenPlan plan;
    plan.listen = true;
    plan.address = QHostAddress::LocalHost;
    if (!sharing->Start(plan))
        return nullptr;
    return sharing;
}
