// A client connection's bytes over real TCP on loopback, the client a plain
// descriptor: what it sends is read whole, up to a bound; replies the kernel
// cannot take at once go when it can; the end of its input shows as Qt
// shows it, and replies still reach a client that only stopped sending.

#include "client_socket.h"
#include "line_client.h"

#include <QSignalSpy>
#include <QTcpServer>

#include <memory>

#include <cerrno>

namespace {

struct Connection {
    QTcpServer server;
    int client = -1;
    QTcpSocket* accepted = nullptr;
    std::unique_ptr<ClientSocket> io;

    bool start()
    {
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        client = ConnectedDescriptor(server.serverPort());
        if (client < 0 || !server.waitForNewConnection(kWaitMs))
            return false;
        accepted = server.nextPendingConnection();
        io = std::make_unique<ClientSocket>(*accepted);
        return true;
    }
    ~Connection()
    {
        io.reset();
        if (client >= 0)
            ::close(client);
    }
    bool send(const QByteArray& bytes) { return ::send(client, bytes.constData(), size_t(bytes.size()), 0) == bytes.size(); }
    // What the client has been sent, until `bytes` or its end; the server's
    // side runs meanwhile.
    QByteArray receive(qsizetype bytes)
    {
        QByteArray got;
        // Until it has them all, the connection ends, or the time is up.
        (void)QTest::qWaitFor([&] {
            char buffer[65536];
            for (ssize_t n; (n = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT)) != 0;) {
                if (n < 0)
                    return (errno != EAGAIN && errno != EWOULDBLOCK) || got.size() >= bytes;
                got.append(buffer, qsizetype(n));
            }
            return true;
        }, kWaitMs);
        return got;
    }
};

} // namespace

class TestClientSocket : public QObject {
    Q_OBJECT
private slots:
    // What one send brought is there whole; beyond the bound the kernel
    // holds the rest until what was read is taken.
    void input_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("firstRead");
        QTest::newRow("a request") << 2 << 2;
        QTest::newRow("more than the bound") << 40000 << int(ClientSocket::kMaxInputBytes);
    }
    void input()
    {
        QFETCH(int, sent);
        QFETCH(int, firstRead);
        Connection c;
        QVERIFY(c.start());
        QVERIFY(c.send(QByteArray(sent, 'f')));
        QTRY_COMPARE(int(c.io->Input().size()), firstRead);
        int taken = 0;
        while (taken < sent) {
            const int now = int(c.io->Input().size());
            QVERIFY(now > 0 || QTest::qWaitFor([&] { return !c.io->Input().empty(); }, kWaitMs));
            taken += int(c.io->Input().size());
            c.io->Take(c.io->Input().size());
        }
        QCOMPARE(taken, sent);
    }

    // Replies: written at once; more than the kernel takes, the rest when
    // the client reads; after the client stopped sending, still delivered.
    void replies_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("clientStoppedSending");
        QTest::newRow("a reply") << 8 << false;
        QTest::newRow("more than the kernel takes") << 1024 * 1024 << false;
        QTest::newRow("to a client that stopped sending") << 8 << true;
    }
    void replies()
    {
        QFETCH(int, size);
        QFETCH(bool, clientStoppedSending);
        Connection c;
        QVERIFY(c.start());
        // Small buffers, so that the kernel takes only part of a large reply.
        c.accepted->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16 * 1024);
        const int receiveBuffer = 16 * 1024;
        ::setsockopt(c.client, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        QSignalSpy disconnected(c.accepted, &QTcpSocket::disconnected);
        QSignalSpy drained(c.io.get(), &ClientSocket::drained);
        if (clientStoppedSending) {
            QVERIFY(c.send("q\n"));
            ::shutdown(c.client, SHUT_WR);
            QTRY_COMPARE(disconnected.count(), 1); // Qt let go of its descriptor
            QCOMPARE(c.io->Input(), std::string_view("q\n"));
            QVERIFY(c.io->ReachesHalfClosed());
        }
        const QByteArray reply(size, 'r');
        QVERIFY(c.io->Write(std::string_view(reply.constData(), std::size_t(reply.size()))));
        const bool waits = c.io->Unsent() > 0;
        QCOMPARE(waits, size > 65536);
        QCOMPARE(c.receive(size), reply);
        if (waits)
            QTRY_COMPARE(drained.count(), 1);
        QCOMPARE(c.io->Unsent(), qint64(0));
    }

    // What the client sent and will not be served is dropped, the kernel's
    // part too: the close that follows ends the connection cleanly, and the
    // last replies, still in the kernel while the client was slow to read,
    // arrive in full rather than cut off by a reset.
    void droppedInputLeavesNoReset()
    {
        Connection c;
        QVERIFY(c.start());
        // The client takes little at a time; the server's kernel holds the rest.
        const int receiveBuffer = 4096;
        ::setsockopt(c.client, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        c.accepted->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 256 * 1024);
        QVERIFY(c.send(QByteArray(30000, 'F')));
        QTRY_VERIFY(!c.io->Input().empty());
        c.io->DropInput();
        QVERIFY(c.io->Input().empty());
        const QByteArray replies(60000, 'R');
        QVERIFY(c.io->Write(std::string_view(replies.constData(), std::size_t(replies.size()))));
        QCOMPARE(c.io->Unsent(), qint64(0)); // the kernel holds what the client has not read
        c.io->Close();
        QCOMPARE(c.receive(replies.size() + 1), replies);
    }
};

QTEST_GUILESS_MAIN(TestClientSocket)
#include "test_client_socket.moc"
