#pragma once
// Shares the radio over the network: the server, fed by the Transceiver,
// started from a listen plan, with a one-line status for the window.

#include "listen_plan.h"
#include "rigctl_server.h"
#include "transceiver_backend.h"

#include <QObject>

class Transceiver;

class RigSharing : public QObject {
    Q_OBJECT
public:
    explicit RigSharing(Transceiver& radio, QObject* parent = nullptr);

    // Listens as planned. False when it could not (or the plan was
    // unusable); Problem() then says why, naming the setting to change.
    bool Start(const ListenPlan& plan);
    // Closes every connection and stops listening (at exit, before the
    // radio is handed back).
    void Stop();

    QString Problem() const { return problem_; }
    QString Status() const;
    RigctlServer& Server() { return server_; }

signals:
    void statusChanged(const QString& status);

private:
    TransceiverBackend backend_;
    RigctlServer server_;
    QString problem_;
};
