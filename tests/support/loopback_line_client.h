#pragma once
// For tests of the sharing server over real TCP on 127.0.0.1: a client that
// keeps every reply line it is sent, and a wait that runs the event loop
// as the program's own loop does.

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

// Runs the event loop until `done` holds, at most `timeoutMs`. Unlike
// QTest::qWaitFor, which sleeps 10 ms between rounds of events, this lets
// every notification through as it comes, so the line's timing is neither
// stretched nor masked.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

class LineClient {
public:
    explicit LineClient(quint16 port)
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
    // Waits for `n` lines in all, at most `timeoutMs`.
    bool waitForLines(int n, int timeoutMs) { return RunUntil([&] { return lines.size() >= n; }, timeoutMs); }
    // Sends `request` and waits for its one reply line; empty when none came.
    QString ask(const QByteArray& request, int timeoutMs = 5000)
    {
        const qsizetype before = lines.size();
        send(request);
        if (!waitForLines(int(before) + 1, timeoutMs))
            return {};
        return lines.at(before);
    }
    std::function<void()> onLines = [] {}; // after each batch of lines

    QTcpSocket socket;
    QByteArray received;
    QStringList lines;
};
