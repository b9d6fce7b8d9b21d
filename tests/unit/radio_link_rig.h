#pragma once
// A RadioLink over a scripted port, for the link's tests.

#include "fake_serial_port.h"
#include "radio_link.h"

#include <QSignalSpy>

inline RadioLink::Command Cmd(std::uint8_t opcode, RadioLink::ReplyHandler reply = {},
                              RadioLink::SentHandler sent = {}, std::uint8_t p1 = 0)
{
    return RadioLink::Make(cat::CommandBytes{p1, 0, 0, 0, opcode}, std::move(reply), std::move(sent));
}

struct Rig {
    FakeSerialPort port;
    CountingMessages messages;
    RadioLink link{port, messages, [](int n) { return n == 99 ? QString() : QStringLiteral("/dev/fake%1").arg(n); }};

    Rig() { link.OpenPort(2, QStringLiteral("57600,N,8,1")); }

    // A port that can stop watching, on a line that has answered on time
    // long enough for the next reply to be read once at its end.
    bool readOnce()
    {
        port.honoursWatch = true;
        QSignalSpy finished(&link, &RadioLink::exchangeFinished);
        for (int i = 0; i < RadioLink::OnTimeReplies; ++i) {
            link.SendCommand(Cmd(cat::ReadRxStatus));
            port.receive(QByteArray::fromHex("05"));
            if (!finished.wait(2000))
                return false;
        }
        port.written.clear();
        port.signalled = port.fetches = 0;
        return true;
    }
};
