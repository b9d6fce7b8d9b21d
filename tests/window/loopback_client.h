#pragma once
// A rig-control program on 127.0.0.1: the window's radio shared on a
// loopback port, and a raw client of it that keeps every reply line.

#include "main_window.h"
#include "rig_sharing.h"

#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <memory>

class Client {
public:
    explicit Client(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] {
            received += socket.readAll();
            for (qsizetype end; (end = received.indexOf('\n')) >= 0; received.remove(0, end + 1))
                lines << QString::fromLatin1(received.left(end));
            onLines();
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    void send(const QByteArray& bytes) { socket.write(bytes); }
    int count(const QString& line) const { return int(lines.count(line)); }
    // Sends `request` and waits for its one reply line; empty when none came.
    QString ask(const QByteArray& request, int timeoutMs = 5000)
    {
        const qsizetype before = lines.size();
        send(request);
        if (!QTest::qWaitFor([&] { return lines.size() > before; }, timeoutMs))
            return {};
        return lines.at(before);
    }
    std::function<void()> onLines = [] {}; // after each batch of lines

    QTcpSocket socket;
    QByteArray received;
    QStringList lines;
};

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
