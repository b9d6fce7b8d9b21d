#pragma once
// A listening TCP socket that hands over each accepted connection and
// survives running out of descriptors: it pauses and tries again later,
// never spinning and never stopping for good.
//
// Qt 6.4's QTcpServer keeps the first error its listening socket ever had.
// After the first "no more connections for now" (EAGAIN, the end of every
// burst), a later EMFILE reads as temporary too: no acceptError, and the
// server calls accept again at once, in a loop, until a descriptor frees.
// Had EMFILE come first, it pauses itself and never resumes. On Unix this
// class therefore binds with QTcpServer but accepts itself.

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QSocketNotifier;
class QTcpSocket;

class TcpAcceptor : public QObject {
    Q_OBJECT
public:
    static constexpr int kPauseMs = 250;

    explicit TcpAcceptor(QObject* parent = nullptr);
    ~TcpAcceptor() override;

    // As QTcpServer::listen, with its errors.
    bool listen(const QHostAddress& address, quint16 port);
    bool isListening() const { return server_.isListening(); }
    QAbstractSocket::SocketError serverError() const { return server_.serverError(); }
    QString errorString() const { return server_.errorString(); }
    QHostAddress serverAddress() const { return server_.serverAddress(); }
    quint16 serverPort() const { return server_.serverPort(); }
    void close();

signals:
    // A connected socket, parented to nothing: the receiver takes it.
    void accepted(QTcpSocket* socket);
    // The system refused to accept (out of descriptors, say); accepting
    // pauses for kPauseMs.
    void acceptFailed(QAbstractSocket::SocketError error);

private:
    void AcceptReady();
    void Pause(QAbstractSocket::SocketError error);
    void Resume();

    QTcpServer server_;
    QSocketNotifier* ready_ = nullptr; // the listening socket has connections waiting
    QTimer pause_;
};
