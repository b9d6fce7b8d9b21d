#include "client_socket.h"

#include <QSocketNotifier>
#include <QTcpSocket>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

ClientSocket::ClientSocket(QTcpSocket& socket, QObject* parent)
    : QObject(parent), socket_(socket)
{
    // Unread requests stay in the kernel beyond this, while a set waits or
    // the connection is parked, instead of in an ever-growing buffer here.
    socket_.setReadBufferSize(qint64(kMaxInputBytes));
#ifdef Q_OS_UNIX
    // Not inherited by programs Solvane starts.
    fd_ = ::fcntl(int(socket_.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (fd_ >= 0) {
        // Whatever Qt took in already comes first; reading it would make Qt
        // watch again, so it is taken before Qt's reader is switched off.
        const QByteArray early = socket_.read(qint64(kMaxInputBytes));
        inputBytes_ = std::size_t(early.size());
        std::memcpy(input_.data(), early.constData(), inputBytes_);
        for (QSocketNotifier* n : socket_.findChildren<QSocketNotifier*>()) {
            if (n->type() != QSocketNotifier::Read || n->socket() != socket_.socketDescriptor())
                continue;
            direct_ |= n->isEnabled();
            n->setEnabled(false);
        }
    }
    if (direct_) {
        reader_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(reader_, &QSocketNotifier::activated, this, &ClientSocket::onReadable);
        watchInput();
        return;
    }
#endif
    connect(&socket_, &QTcpSocket::readyRead, this, &ClientSocket::received);
    connect(&socket_, &QTcpSocket::bytesWritten, this, [this] {
        if (Unsent() == 0)
            emit drained();
    });
}

ClientSocket::~ClientSocket()
{
    // The socket may be gone already: only what is this object's own.
#ifdef Q_OS_UNIX
    if (fd_ >= 0)
        ::close(fd_);
#endif
}

std::string_view ClientSocket::Input()
{
    if (!direct_ && inputBytes_ == 0 && socket_.bytesAvailable() > 0)
        inputBytes_ = std::size_t(std::max<qint64>(0, socket_.read(input_.data(), qint64(input_.size()))));
    return {input_.data(), inputBytes_};
}

void ClientSocket::Take(std::size_t n)
{
    n = std::min(n, inputBytes_);
    std::memmove(input_.data(), input_.data() + n, inputBytes_ - n);
    inputBytes_ -= n;
    watchInput();
}

void ClientSocket::watchInput()
{
    // Read while there is room and the input has not ended; else the
    // kernel holds the rest.
    if (reader_)
        reader_->setEnabled(!ended_ && inputBytes_ < input_.size());
}

void ClientSocket::onReadable()
{
#ifdef Q_OS_UNIX
    const ssize_t n = ::recv(fd_, input_.data() + inputBytes_, input_.size() - inputBytes_, 0);
    if (n > 0) {
        inputBytes_ += std::size_t(n);
        watchInput();
        emit received();
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n < 0 && errno != ECONNRESET) {
        emit failed();
        return;
    }
    // The end of its input, or a reset, which Qt counts as such too: Qt's
    // own descriptor closes, and its `disconnected` tells the connection.
    ended_ = true;
    watchInput();
    socket_.abort();
#endif
}

void ClientSocket::DropInput()
{
    inputBytes_ = 0;
    if (!direct_) {
        socket_.readAll();
        return;
    }
#ifdef Q_OS_UNIX
    // What the kernel holds too: a close with unread bytes would reset the
    // connection and lose the replies. A client that keeps sending is not
    // followed for ever.
    for (int i = 0; i < 4 && ::recv(fd_, input_.data(), input_.size(), MSG_DONTWAIT) > 0; ++i) {
    }
#endif
    watchInput();
}

bool ClientSocket::Write(std::string_view bytes)
{
    if (bytes.empty())
        return true;
    if (!direct_ && socket_.state() != QAbstractSocket::UnconnectedState) {
        socket_.write(bytes.data(), qint64(bytes.size()));
        // What the kernel takes goes now; what stays is what the client has not read.
        socket_.flush();
        return true;
    }
    if (fd_ < 0)
        return true; // nothing reaches a client Qt has let go of
    if (!unsent_.empty()) {
        unsent_.append(bytes);
        return true;
    }
    const qint64 taken = sendSome(bytes);
    if (taken < 0)
        return false;
    if (std::size_t(taken) < bytes.size()) {
        unsent_.assign(bytes.substr(std::size_t(taken)));
        if (!writer_) {
            writer_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
            connect(writer_, &QSocketNotifier::activated, this, &ClientSocket::onWritable);
        }
        writer_->setEnabled(true);
    }
    return true;
}

qint64 ClientSocket::sendSome([[maybe_unused]] std::string_view bytes)
{
#ifdef Q_OS_UNIX
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
#endif
    return -1;
}

void ClientSocket::onWritable()
{
    const qint64 taken = sendSome(unsent_);
    if (taken < 0) {
        emit failed();
        return;
    }
    unsent_.erase(0, std::size_t(taken));
    if (!unsent_.empty())
        return;
    writer_->setEnabled(false);
    emit drained();
}

qint64 ClientSocket::Unsent() const
{
    return qint64(unsent_.size()) + (direct_ ? 0 : socket_.bytesToWrite());
}

void ClientSocket::Close()
{
    // Later: this may run inside one of their signals.
    for (QSocketNotifier* n : {reader_, writer_}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    reader_ = writer_ = nullptr;
#ifdef Q_OS_UNIX
    if (fd_ >= 0)
        ::close(fd_);
#endif
    fd_ = -1;
    unsent_.clear();
    // Drops what Qt still holds: the client does not read, or has gone.
    socket_.abort();
}
