#include "rigctl_connection.h"

#include <QPointer>
#include <QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
// Bytes taken from the socket at a time; with the line limit this bounds
// what one connection holds in memory.
constexpr qint64 kReadChunkBytes = 4096;

} // namespace

RigctlConnection::RigctlConnection(QTcpSocket* socket, RigBackend& backend, QObject* parent)
    : QObject(parent), socket_(socket), backend_(backend), client_(backend.OpenClient(socket->peerAddress(), socket->peerPort()))
{
    socket_->setParent(this);
    // Unread requests stay in the kernel while a set waits, instead of in
    // an ever-growing buffer here.
    socket_->setReadBufferSize(kReadChunkBytes * 4);
#ifdef Q_OS_UNIX
    // Qt closes its descriptor when the client closes its sending side; this
    // one keeps the connection open until every request has its reply.
    keepAlive_ = ::dup(int(socket_->socketDescriptor()));
#endif
    connect(socket_, &QTcpSocket::readyRead, this, &RigctlConnection::AnswerRequests);
    connect(socket_, &QTcpSocket::disconnected, this, &RigctlConnection::OnDisconnected);
    // A client that has only closed its sending side still gets its
    // replies; `disconnected` follows once Qt has written what it holds.
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            End();
    });
}

RigctlConnection::~RigctlConnection()
{
    if (keepAlive_ >= 0)
        ::close(keepAlive_);
    // Deleted with its server before it could end: it gives up its turns.
    if (!ended_)
        backend_.CloseClient(client_);
}

void RigctlConnection::Abort()
{
    if (ended_)
        return;
    socket_->abort();
    End();
}

void RigctlConnection::Close()
{
    if (ended_ || closing_)
        return;
    closing_ = true;
    // What the client sent but will not be served is dropped first: a close
    // with unread bytes would reset the connection and lose the replies.
    requests_.clear();
    socket_->readAll();
    if (!waiting_)
        FinishClosing();
}

void RigctlConnection::FinishClosing()
{
    Flush();
    socket_->disconnectFromHost();
    End();
}

void RigctlConnection::End()
{
    if (ended_)
        return;
    ended_ = true;
    if (keepAlive_ >= 0) {
        ::close(keepAlive_);
        keepAlive_ = -1;
    }
    backend_.CloseClient(client_);
    emit finished(this);
}

bool RigctlConnection::WorkPending() const
{
    return waiting_ || !requests_.empty() || (!closing_ && socket_->bytesAvailable() > 0);
}

void RigctlConnection::OnDisconnected()
{
    peerClosed_ = true;
    // Replies still owed go out through the second descriptor.
    if (quitting_ || keepAlive_ < 0 || !WorkPending())
        End();
    else
        AnswerRequests();
}

void RigctlConnection::AnswerRequests()
{
    if (answering_ || quitting_ || ended_)
        return; // a wait finished inside the backend's call; the loop below goes on
    answering_ = true;
    while (!ended_ && !waiting_ && TakeNextRequest()) {
        rigctl::Request request = std::move(requests_.front());
        requests_.pop_front();
        const RigSnapshot radio = backend_.Snapshot();
        if (!waitedForReading_ && rigctl::WantsFreshReading(request, radio)) {
            waiting_ = std::move(request);
            waitedForReading_ = true;
            QPointer<RigctlConnection> self(this);
            backend_.AwaitReading([self, wait = ++waitsStarted_] {
                if (self)
                    self->FinishReadingWait(wait);
            });
            continue;
        }
        waitedForReading_ = false;
        const rigctl::Answer answer = rigctl::Respond(request, radio);
        if (answer.close) {
            // "RPRT 0" first: the client reads it before it closes its end.
            Send(answer.reply);
            requests_.clear();
            quitting_ = true;
            Flush();
            socket_->disconnectFromHost(); // once the replies are written
            break;
        }
        if (answer.set) {
            waiting_ = std::move(request);
            StartSet(*answer.set);
        } else {
            Send(answer.reply);
        }
    }
    answering_ = false;
    if (closing_ && !waiting_ && !ended_) {
        FinishClosing();
        return;
    }
    Flush();
    if (peerClosed_ && !WorkPending())
        End();
}

// Next request into requests_, reading more of the socket when needed.
bool RigctlConnection::TakeNextRequest()
{
    if (closing_)
        return false;
    while (requests_.empty()) {
        if (socket_->bytesAvailable() <= 0)
            return false;
        const QByteArray bytes = socket_->read(kReadChunkBytes);
        for (auto& line : lines_.Feed(std::string_view(bytes.constData(), std::size_t(bytes.size())))) {
            if (line.overlong) {
                Send(session_.OverlongLineReply());
                continue;
            }
            for (auto& request : session_.Split(line.text))
                requests_.push_back(std::move(request));
        }
        if (ended_)
            return false;
    }
    return true;
}

void RigctlConnection::StartSet(const rigctl::SetAction& set)
{
    // The radio may answer after this connection is gone.
    QPointer<RigctlConnection> self(this);
    auto done = [self, wait = ++waitsStarted_](ActionResult result) {
        if (self)
            self->FinishSet(wait, result);
    };
    backend_.Perform(client_, set, done);
}

void RigctlConnection::FinishSet(quint64 set, ActionResult result)
{
    if (!waiting_ || set != waitsStarted_ || ended_)
        return;
    const rigctl::Request request = std::move(*waiting_);
    waiting_.reset();
    Send(rigctl::SetReply(request, result));
    AnswerRequests();
}

void RigctlConnection::FinishReadingWait(quint64 wait)
{
    if (!waiting_ || wait != waitsStarted_ || ended_)
        return;
    // Answered now from whatever the radio gave, fresh or not.
    requests_.push_front(std::move(*waiting_));
    waiting_.reset();
    AnswerRequests();
}

void RigctlConnection::Send(const std::string& reply)
{
    if (!ended_)
        outbox_ += reply;
}

void RigctlConnection::Flush()
{
    if (ended_ || outbox_.empty())
        return;
    const std::string bytes = std::move(outbox_);
    outbox_.clear();
    if (socket_->state() == QAbstractSocket::UnconnectedState) {
#ifdef Q_OS_UNIX
        // The client closed its sending side and Qt let go of the socket;
        // the replies it still waits for go out on the second descriptor.
        if (keepAlive_ >= 0)
            ::send(keepAlive_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
#endif
        return;
    }
    socket_->write(bytes.data(), qint64(bytes.size()));
    // Hand what the kernel takes to it now; what stays is what the client
    // has not read.
    socket_->flush();
    if (socket_->bytesToWrite() > kMaxUnreadReplyBytes)
        Abort();
}
