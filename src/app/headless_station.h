#pragma once
// Solvane with no window: the radio's owner and the network server, for a
// shack computer with no screen. It reads the same settings, opens the port,
// takes control, watches for a vanished adapter and serves [Network]; it
// polls only while a client is connected. The window is not needed for any
// of it: it is one client of the Transceiver among others.

#include "listen_plan.h"
#include "rig_sharing.h"
#include "settings_store.h"
#include "transceiver.h"

#include <QObject>

#include <functional>

class HeadlessStation : public QObject {
    Q_OBJECT
public:
    HeadlessStation(SerialPort& port, SettingsStore& store, UserMessages& messages, QObject* parent = nullptr);

    // Serves `plan`, then opens the port. False when there is nothing to
    // serve or the server cannot listen; Problem() says why.
    bool Start(const ListenPlan& plan);
    QString Problem() const { return problem_; }
    // As Exit: queued sets are answered with an error, the connections
    // close, and the release (0x80) goes out last; then `done`. For a radio
    // that cannot be read, what was last set is stored ([Radio]).
    void Stop(std::function<void()> done);

    Transceiver& Radio() { return radio_; }
    RigSharing& Sharing() { return sharing_; }

private:
    SettingsStore& store_;
    Transceiver radio_;
    RigSharing sharing_;
    QString problem_;
};
