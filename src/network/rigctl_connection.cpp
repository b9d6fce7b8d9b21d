#include "rigctl_connection.h"

#include <QPointer>
#include <QTcpSocket>

namespace {
// Bytes taken from the socket at a time; with the line limit this bounds
// what one connection holds in memory.
constexpr qint64 kReadChunkBytes = 4096;
} // namespace

RigctlConnection::RigctlConnection(QTcpSocket* socket, RigBackend& backend, QObject* parent)
    : QObject(parent), socket_(socket), backend_(backend)
{
    socket_->setParent(this);
    // Unread requests stay in the kernel while a set waits, instead of in
    // an ever-growing buffer here.
    socket_->setReadBufferSize(kReadChunkBytes * 4);
    connect(socket_, &QTcpSocket::readyRead, this, &RigctlConnection::AnswerRequests);
    connect(socket_, &QTcpSocket::disconnected, this, &RigctlConnection::End);
    // A client that has only closed its sending side still gets its
    // replies; `disconnected` follows once they are written.
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            End();
    });
}

void RigctlConnection::Abort()
{
    if (ended_)
        return;
    socket_->abort();
    End();
}

void RigctlConnection::End()
{
    if (ended_)
        return;
    ended_ = true;
    emit finished(this);
}

void RigctlConnection::AnswerRequests()
{
    if (answering_ || quitting_)
        return; // a set finished inside the queue's call; the loop below goes on
    answering_ = true;
    while (!ended_ && !waitingSet_ && TakeNextRequest()) {
        rigctl::Request request = std::move(requests_.front());
        requests_.pop_front();
        const rigctl::Answer answer = rigctl::Respond(request, backend_.Snapshot());
        if (answer.close) {
            // "RPRT 0" first: the client reads it before it closes its end.
            Send(answer.reply);
            requests_.clear();
            quitting_ = true;
            socket_->disconnectFromHost(); // once the replies are written
            break;
        }
        if (answer.set) {
            waitingSet_ = std::move(request);
            StartSet(*answer.set);
        } else {
            Send(answer.reply);
        }
    }
    answering_ = false;
}

// Next request into requests_, reading more of the socket when needed.
bool RigctlConnection::TakeNextRequest()
{
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
    // The queue may answer after this connection is gone.
    QPointer<RigctlConnection> self(this);
    auto done = [self, serial = ++setsStarted_](bool sent) {
        if (self)
            self->FinishSet(serial, sent);
    };
    if (set.kind == rigctl::SetAction::Kind::Frequency)
        backend_.SetFrequency(set.frequency10Hz, done);
    else
        backend_.SetMode(set.modeCode, done);
}

void RigctlConnection::FinishSet(quint64 set, bool sent)
{
    if (!waitingSet_ || set != setsStarted_)
        return;
    const rigctl::Request request = std::move(*waitingSet_);
    waitingSet_.reset();
    Send(rigctl::SetReply(request, sent));
    AnswerRequests();
}

void RigctlConnection::Send(const std::string& reply)
{
    if (ended_ || reply.empty())
        return;
    socket_->write(reply.data(), qint64(reply.size()));
    // Hand what the kernel takes to it now; what stays is what the client
    // has not read.
    socket_->flush();
    if (socket_->bytesToWrite() > kMaxUnreadReplyBytes)
        Abort();
}
