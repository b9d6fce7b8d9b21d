#pragma once
// Clients of the rig-control server for its tests, over real TCP on
// loopback: a Qt one that reads everything it is sent, line by line, and a
// plain descriptor for what Qt does not do (half-closing, never reading).

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>
#include <QTest>

#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

inline constexpr int kWaitMs = 10000;

class Client {
public:
    explicit Client(quint16 port, const QHostAddress& server = QHostAddress::LocalHost)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { received += socket.readAll(); });
        socket.connectToHost(server, port);
    }

    void Send(const QByteArray& bytes) { socket.write(bytes); }

    // Complete lines received so far, not yet taken.
    QStringList Lines() const
    {
        QStringList lines = QString::fromLatin1(received).split('\n');
        lines.removeLast(); // the unfinished rest
        return lines;
    }
    bool Has(int lines) const { return Lines().size() >= lines; }
    // The first `n` lines, removed from what was received.
    QStringList Take(int n)
    {
        QStringList lines = Lines().mid(0, n);
        int bytes = 0;
        for (const auto& line : lines)
            bytes += line.size() + 1;
        received.remove(0, bytes);
        return lines;
    }
    bool Closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }

    QTcpSocket socket;
    QByteArray received;
};

// A client once the server serves it (counted among its clients); null
// when it is not within kWaitMs.
template <class Server>
std::unique_ptr<Client> ConnectServed(const Server& server, quint16 port)
{
    const int before = server.clientCount();
    auto client = std::make_unique<Client>(port);
    const bool accepted = QTest::qWaitFor(
        [&] { return client->socket.state() == QAbstractSocket::ConnectedState && server.clientCount() == before + 1; },
        kWaitMs);
    return accepted ? std::move(client) : nullptr;
}

// A blocking TCP connection to 127.0.0.1:port as a plain descriptor; -1 if
// it could not be made.
inline int ConnectedDescriptor(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends a request and waits for the given number of reply lines.
#define ASK(client, request, count, expected)                                   \
    do {                                                                        \
        (client).Send(request);                                                 \
        QTRY_VERIFY_WITH_TIMEOUT((client).Has(count), kWaitMs);                 \
        QCOMPARE((client).Take(count), (expected));                             \
    } while (false)
