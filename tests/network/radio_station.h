#pragma once
// The radio's owner and its sharing server with no window, as the headless
// server runs them: a real QSerialPort on a pty to the simulator, which
// carries both directions at 4800 baud, and clients over TCP on 127.0.0.1.

#include "counting_messages.h"
#include "loopback_line_client.h"
#include "qt_serial_port.h"
#include "rig_sharing.h"
#include "sim_process.h"
#include "transceiver.h"

#include <QTest>

#include <memory>

struct RadioStation {
    SimProcess sim;
    QtSerialPort port;
    CountingMessages messages;
    std::unique_ptr<Transceiver> radio;
    std::unique_ptr<RigSharing> sharing;

    // The simulator at 4800 baud with `simArgs`, the port opened, control
    // taken, the poll running and the server listening.
    bool start(const QStringList& simArgs = {})
    {
        if (!sim.start(QStringList{QStringLiteral("--baud"), QStringLiteral("4800")} + simArgs))
            return false;
        radio = std::make_unique<Transceiver>(port, messages, [this](int) { return sim.device(); });
        sharing = std::make_unique<RigSharing>(*radio);
        QObject::connect(radio.get(), &Transceiver::shutdownStarted, sharing.get(), &RigSharing::Stop);
        if (!radio->OpenPort(2, QStringLiteral("4800,N,8,1"), false))
            return false;
        radio->TakeControl();
        radio->StartPolling();
        ListenPlan plan;
        plan.listen = true;
        plan.address = QHostAddress::LocalHost;
        return sharing->Start(plan);
    }
    quint16 serverPort() const { return sharing->Server().serverPort(); }
    // Commands the simulator logged with this opcode ("01", "08").
    int logged(const QString& opcode) const
    {
        int n = 0;
        for (const QString& line : sim.loggedCommands())
            n += line.endsWith(QLatin1Char(' ') + opcode) ? 1 : 0;
        return n;
    }
    // The opcodes of the commands logged so far, in order.
    QStringList opcodes() const
    {
        QStringList out;
        for (const QString& line : sim.loggedCommands())
            out << line.right(2);
        return out;
    }
};
