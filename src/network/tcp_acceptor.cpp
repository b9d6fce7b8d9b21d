#include "tcp_acceptor.h"

#include <QSocketNotifier>
#include <QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {
// Connections taken per wake-up; the rest wait for the next turn of the
// event loop, so a burst does not hold up the window.
constexpr int kAcceptsPerWake = 32;
} // namespace

TcpAcceptor::TcpAcceptor(QObject* parent) : QObject(parent)
{
    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &TcpAcceptor::Resume);
#ifndef Q_OS_UNIX
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(nullptr);
            emit accepted(socket);
        }
    });
    connect(&server_, &QTcpServer::acceptError, this, &TcpAcceptor::Pause);
#endif
}

TcpAcceptor::~TcpAcceptor() = default;

bool TcpAcceptor::listen(const QHostAddress& address, quint16 port)
{
    if (!server_.listen(address, port))
        return false;
#ifdef Q_OS_UNIX
    server_.pauseAccepting(); // for good: accepting happens here
    ready_ = new QSocketNotifier(server_.socketDescriptor(), QSocketNotifier::Read, this);
    connect(ready_, &QSocketNotifier::activated, this, &TcpAcceptor::AcceptReady);
#endif
    return true;
}

void TcpAcceptor::close()
{
    pause_.stop();
    if (ready_) {
        // Later: this may run inside its own activation.
        ready_->setEnabled(false);
        ready_->deleteLater();
        ready_ = nullptr;
    }
    server_.close();
}

void TcpAcceptor::AcceptReady()
{
#ifdef Q_OS_UNIX
    const int listening = int(server_.socketDescriptor());
    for (int i = 0; i < kAcceptsPerWake && ready_ && ready_->isEnabled(); ++i) {
        const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            switch (errno) {
            case EAGAIN:
#if EAGAIN != EWOULDBLOCK
            case EWOULDBLOCK:
#endif
                return;
            case EMFILE:
            case ENFILE:
            case ENOBUFS:
            case ENOMEM:
                Pause(QAbstractSocket::SocketResourceError);
                return;
            case EINTR:
            case ECONNABORTED: // the client gave up while waiting
            case EPROTO:       // Linux reports the new connection's network errors here
            case ENETDOWN:
            case ENOPROTOOPT:
            case EHOSTDOWN:
            case ENONET:
            case EHOSTUNREACH:
            case EOPNOTSUPP:
            case ENETUNREACH:
            case EPERM: // a firewall rule
                continue;
            default:
                Pause(QAbstractSocket::UnknownSocketError);
                return;
            }
        }
        auto* socket = new QTcpSocket;
        if (!socket->setSocketDescriptor(fd)) {
            ::close(fd);
            delete socket;
            continue;
        }
        emit accepted(socket);
    }
#endif
}

void TcpAcceptor::Pause(QAbstractSocket::SocketError error)
{
    if (ready_)
        ready_->setEnabled(false);
    else
        server_.pauseAccepting();
    pause_.start(kPauseMs);
    emit acceptFailed(error);
}

void TcpAcceptor::Resume()
{
    if (ready_)
        ready_->setEnabled(true);
    else if (server_.isListening())
        server_.resumeAccepting();
}
