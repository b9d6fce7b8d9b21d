#pragma once
// The bytes of one client connection: what it sent, read in one call per
// wake-up, and the replies, written in one call per batch.
//
// On Unix this reads and writes a second descriptor of the connected socket,
// with Qt's own reader switched off: Qt asks the kernel how much is waiting
// before every read, copies it through a buffer of its own and signals once
// more per request. The second descriptor also keeps the connection open
// after Qt lets go of its own when the client closes its sending side, so
// that replies still owed reach it. Where Qt's reader cannot be switched off
// (and on Windows) the bytes go through the QTcpSocket.
//
// The end of the client's input is reported as Qt reports it, by the
// socket's `disconnected`: its own descriptor is closed then.

#include <QObject>

#include <array>
#include <string>
#include <string_view>

class QSocketNotifier;
class QTcpSocket;

class ClientSocket : public QObject {
    Q_OBJECT
public:
    // Received bytes held at most; more wait in the kernel until these are taken.
    static constexpr std::size_t kMaxInputBytes = 16 * 1024;

    ClientSocket(QTcpSocket& socket, QObject* parent = nullptr);
    ~ClientSocket() override;

    // Received bytes not yet taken; Take() removes the first `n` of them.
    std::string_view Input();
    void Take(std::size_t n);
    // Drops what was received and what the kernel still holds.
    void DropInput();

    // Queues `bytes` and writes what the kernel takes now. False when the
    // connection failed.
    bool Write(std::string_view bytes);
    // Bytes written but not yet taken by the kernel.
    qint64 Unsent() const;
    // Replies can still reach a client that closed its sending side.
    bool ReachesHalfClosed() const { return fd_ >= 0; }

    void Close();

signals:
    void received();
    // Every queued byte has gone to the kernel.
    void drained();
    void failed();

private:
    void onReadable();
    void onWritable();
    // What the kernel took of `bytes`; -1 when the connection failed.
    qint64 sendSome(std::string_view bytes);
    void watchInput();

    QTcpSocket& socket_;
    int fd_ = -1;         // the second descriptor
    bool direct_ = false; // read and written here, not through Qt
    QSocketNotifier* reader_ = nullptr;
    QSocketNotifier* writer_ = nullptr;
    bool ended_ = false; // the client's input ended
    std::array<char, kMaxInputBytes> input_{};
    std::size_t inputBytes_ = 0;
    std::string unsent_;
};
