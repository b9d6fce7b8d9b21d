#include "rigctl_connection.h"

#include "link_watch.h"

#include <QPointer>
#include <QTcpSocket>

namespace {
// Bytes parsed at a time; with the line limit this bounds what one
// connection holds in memory.
constexpr std::size_t kReadChunkBytes = 4096;

} // namespace

RigctlConnection::RigctlConnection(QTcpSocket* socket, RigBackend& backend, QObject* parent)
    : QObject(parent), socket_(socket), backend_(backend), peerAddress_(socket->peerAddress()), peerPort_(socket->peerPort())
{
    socket_->setParent(this);
    // Replies are short and a client waits for each one.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (WatchesLink(peerAddress_))
        WatchLink(socket_->socketDescriptor());
    io_ = new ClientSocket(*socket_, this);
    bound_.setSingleShot(true);
    connect(&bound_, &QTimer::timeout, this, [this] { Handle(ConnectionEvent::TimeUp); });
    bound_.start(kSlotWaitMs);
    connect(io_, &ClientSocket::received, this, &RigctlConnection::AnswerRequests);
    connect(io_, &ClientSocket::drained, this, &RigctlConnection::EndIfClosing);
    connect(io_, &ClientSocket::failed, this, [this] { Handle(ConnectionEvent::Failed); });
    connect(socket_, &QTcpSocket::disconnected, this, &RigctlConnection::OnDisconnected);
    // The end of the client's input is also reported as an error; the
    // `disconnected` that follows handles it.
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            Handle(ConnectionEvent::Failed);
    });
}

RigctlConnection::~RigctlConnection()
{
    // Deleted with its server before it could end: it gives back what it holds.
    Handle(ConnectionEvent::Failed);
}

void RigctlConnection::Handle(ConnectionEvent event)
{
    const ConnectionState from = state_;
    const ConnectionStep step = NextConnectionStep(from, event);
    if (step == ConnectionStep{.next = from})
        return;
    state_ = step.next;
    if (step.stopBound)
        bound_.stop();
    if (step.startBoundMs > 0)
        bound_.start(step.startBoundMs);
    if (step.openTurns)
        client_ = backend_.OpenClient(peerAddress_, peerPort_);
    if (step.stoppedSending)
        backend_.ClientStoppedSending(client_);
    if (step.closeDescriptors)
        CloseDescriptors();
    // Its queued sets are reported not sent; being Gone, it ignores them.
    if (step.closeTurns)
        backend_.CloseClient(client_);
    emit stateChanged(this, from);
}

void RigctlConnection::CloseDescriptors() { io_->Close(); }

void RigctlConnection::Admit()
{
    Handle(ConnectionEvent::SlotFree);
    if (state_ == ConnectionState::Serving)
        AnswerRequests(); // what it sent while it waited
}

void RigctlConnection::Close()
{
    Handle(ConnectionEvent::ServerClose);
    if (state_ != ConnectionState::Closing)
        return;
    // What the client sent but will not be served is dropped first: a close
    // with unread bytes would reset the connection and lose the replies.
    DropInput();
    EndIfClosing();
}

void RigctlConnection::DropInput()
{
    requests_.clear();
    io_->DropInput();
}

// Closing: once no request waits, the replies go out and, once the kernel
// has taken them, the socket closes; `disconnected` follows.
void RigctlConnection::EndIfClosing()
{
    if (state_ != ConnectionState::Closing || waiting_)
        return;
    Flush();
    if (state_ == ConnectionState::Closing && io_->Unsent() == 0
        && socket_->state() != QAbstractSocket::UnconnectedState)
        socket_->disconnectFromHost();
    SettleIfDone();
}

bool RigctlConnection::OwesNothing() const
{
    switch (state_) {
    case ConnectionState::HalfClosed:
        // Without a second descriptor no reply can reach it any more.
        return !io_->ReachesHalfClosed()
            || (!waiting_ && requests_.empty() && io_->Input().empty() && io_->Unsent() == 0);
    case ConnectionState::Closing:
        return !waiting_ && io_->Unsent() == 0 && socket_->state() == QAbstractSocket::UnconnectedState;
    default:
        return false;
    }
}

void RigctlConnection::SettleIfDone()
{
    if (OwesNothing())
        Handle(ConnectionEvent::Settled);
}

void RigctlConnection::OnDisconnected()
{
    Handle(ConnectionEvent::PeerClosed);
    if (state_ == ConnectionState::HalfClosed)
        AnswerRequests(); // the rest of what it sent; replies go out on the second descriptor
    else
        SettleIfDone();
}

// Serving and half-closed connections take requests; a parked one is
// answered once admitted, a closing one takes no more.
void RigctlConnection::AnswerRequests()
{
    if (answering_)
        return; // a wait finished inside the backend's call; the loop below goes on
    answering_ = true;
    while (!waiting_ && TakeNextRequest()) {
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
            DropInput();
            Handle(ConnectionEvent::Quit);
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
    Flush();
    EndIfClosing();
    SettleIfDone();
}

// Next request into requests_, reading more of the socket when needed.
bool RigctlConnection::TakeNextRequest()
{
    if (state_ != ConnectionState::Serving && state_ != ConnectionState::HalfClosed)
        return false;
    while (requests_.empty()) {
        const std::string_view bytes = io_->Input().substr(0, kReadChunkBytes);
        if (bytes.empty())
            return false;
        auto lines = lines_.Feed(bytes);
        io_->Take(bytes.size());
        for (auto& line : lines) {
            if (line.overlong) {
                Send(session_.OverlongLineReply());
                continue;
            }
            for (auto& request : session_.Split(line.text))
                requests_.push_back(std::move(request));
        }
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
    if (!waiting_ || set != waitsStarted_ || state_ == ConnectionState::Gone)
        return;
    const rigctl::Request request = std::move(*waiting_);
    waiting_.reset();
    Send(rigctl::SetReply(request, result));
    AnswerRequests();
}

void RigctlConnection::FinishReadingWait(quint64 wait)
{
    if (!waiting_ || wait != waitsStarted_ || state_ == ConnectionState::Gone)
        return;
    // Answered now from whatever the radio gave, fresh or not.
    requests_.push_front(std::move(*waiting_));
    waiting_.reset();
    AnswerRequests();
}

void RigctlConnection::Send(const std::string& reply)
{
    if (state_ != ConnectionState::Gone)
        outbox_ += reply;
}

void RigctlConnection::Flush()
{
    if (state_ == ConnectionState::Gone || outbox_.empty())
        return;
    const bool written = io_->Write(outbox_);
    outbox_.clear();
    // What stays unsent is what the client has not read.
    if (!written || io_->Unsent() > kMaxUnreadReplyBytes)
        Handle(ConnectionEvent::Failed);
}
