#include "headless_station.h"

#include "port_mapping.h"

HeadlessStation::HeadlessStation(SerialPort& port, SettingsStore& store, UserMessages& messages, QObject* parent)
    : QObject(parent)
    , store_(store)
    , radio_(port, messages, [this](int n) { return DeviceNameForPort(n, store_.PortsEntry(n)); }, this)
    , sharing_(radio_, this)
{
    connect(&radio_, &Transceiver::shutdownStarted, &sharing_, &RigSharing::Stop);
    sharing_.SetStandalone(true);
    // Nobody to show a reading to: the radio is read only for the clients.
    radio_.PollOnlyForClients(true);
    // A service has nobody to choose another port: a device that is there
    // but will not open yet (busy, or its permissions not set at boot) is
    // tried again quietly.
    radio_.RetryRefusedDevice(true);
}

bool HeadlessStation::Start(const ListenPlan& plan)
{
    if (!plan.listen) {
        problem_ = !plan.problem.isEmpty()
                     ? plan.problem
                     : QStringLiteral("--headless has nothing to serve: [Network] Listen is false. Set Listen=true "
                                      "there, or give --listen ADDRESS:PORT.");
        return false;
    }
    if (!sharing_.Start(plan)) {
        problem_ = sharing_.Problem();
        return false;
    }
    const PortChoice stored = store_.Load();
    radio_.SetPortNote(store_.Problem());
    radio_.SetLastSet(store_.LoadLastSet());
    radio_.SetRadioAnswers(stored.RadioAnswers);
    radio_.OpenPort(stored.CommPortNumber, stored.CommSettings, true);
    radio_.TakeControl();
    radio_.StartPolling();
    return true;
}

void HeadlessStation::Stop(std::function<void()> done)
{
    radio_.ShutDown([this, done = std::move(done)](bool released) {
        // What was set on a radio that cannot be read is shown and answered
        // next time; stored, as the window does, only with the port open to the end.
        if (released && !radio_.RadioAnswers())
            store_.SaveLastSet(radio_.LastSetValues());
        done();
    });
}
