// Connections coming and going over real TCP on loopback, with a scripted
// radio: a client waiting for a slot, clients that close with work queued,
// a server on both stacks, running out of descriptors, and refusals past
// the reporting limit. After each, the slots, the radio's turns and the
// process's descriptors are all given back (checked in cleanup()).

#include "fake_rig_backend.h"
#include "line_client.h"
#include "listen_address.h"
#include "rigctl_server.h"

#include <QDir>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSignalSpy>

#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<int> Descriptors()
{
    std::vector<int> open;
    for (const QString& name : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System))
        open.push_back(name.toInt());
    std::sort(open.begin(), open.end());
    return open;
}

} // namespace

class TestRigctlLifecycle : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<FakeRigBackend> radio_;
    std::unique_ptr<RigctlServer> server_;
    quint16 port_ = 0;
    std::vector<int> baseline_; // descriptors open with the server listening, before any client

    std::unique_ptr<Client> Connect() { return ConnectServed(*server_, port_); }

    // Once a test's clients have gone nothing is held (no slot, no place in
    // the radio's turns, no descriptor), every slot can be taken again, and
    // nothing is held once those leave too.
    void CheckEverythingGivenBack()
    {
        CheckNothingHeld();
        {
            std::vector<std::unique_ptr<Client>> clients;
            for (int i = 0; i < RigctlServer::kMaxClients; ++i) {
                clients.push_back(Connect());
                QVERIFY2(clients.back(), qPrintable(QStringLiteral("client %1 of 32 not served").arg(i + 1)));
            }
            ASK(*clients.back(), "v\n", 1, QStringList{"VFOA"});
        }
        CheckNothingHeld();
    }
    void CheckNothingHeld()
    {
        QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 0, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(server_->parkedCount(), 0, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(radio_->openClients.empty(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(Descriptors(), baseline_, kWaitMs);
    }

private slots:
    void init()
    {
        radio_ = std::make_unique<FakeRigBackend>();
        server_ = std::make_unique<RigctlServer>(*radio_);
        QVERIFY2(server_->listen(QHostAddress::LocalHost, 0), qPrintable(server_->errorString()));
        port_ = server_->serverPort();
        baseline_ = Descriptors();
    }
    void cleanup()
    {
        if (!QTest::currentTestFailed())
            CheckEverythingGivenBack();
        server_.reset();
        radio_.reset();
    }

    // A client that finds every slot taken waits for one, parked. What it
    // sends meanwhile is answered once it is admitted; if it leaves first,
    // the slot it would have had goes to the next; if no slot frees in
    // time, it is closed, owed nothing. While it waits it is read within the
    // same bound as a connection: what it pushes stays in the kernel, not in
    // the server (about 160 kB fit in the buffers here; unbounded, megabytes).
    void parkedClient_data()
    {
        QTest::addColumn<QString>("meanwhile"); // "sends", "leaves", "pushes"
        QTest::newRow("sent early, served once admitted") << "sends";
        QTest::newRow("left early, costs nothing") << "leaves";
        QTest::newRow("never left, pushing, turned away in time") << "pushes";
    }
    void parkedClient()
    {
        QFETCH(QString, meanwhile);
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < RigctlServer::kMaxClients; ++i) {
            clients.push_back(Connect());
            QVERIFY(clients.back());
        }
        auto late = std::make_unique<Client>(port_);
        QTRY_COMPARE_WITH_TIMEOUT(server_->parkedCount(), 1, kWaitMs);
        QCOMPARE(int(radio_->openClients.size()), RigctlServer::kMaxClients); // not yet in the turns

        if (meanwhile == QLatin1String("sends")) {
            late->Send("v\n");
            // Round trips on another connection: the server has read the
            // parked client's request by the time the slot frees.
            ASK(*clients[1], "v\n", 1, QStringList{"VFOA"});
            ASK(*clients[1], "v\n", 1, QStringList{"VFOA"});
            clients.front().reset();
            QTRY_VERIFY_WITH_TIMEOUT(late->Has(1), kWaitMs);
            QCOMPARE(late->Take(1), QStringList{"VFOA"});
            QCOMPARE(server_->clientCount(), RigctlServer::kMaxClients);
        } else if (meanwhile == QLatin1String("leaves")) {
            late.reset();
            // A round trip on another connection: the server has seen it
            // leave by the time the slot frees, well within its wait.
            ASK(*clients[1], "v\n", 1, QStringList{"VFOA"});
            clients.front().reset();
            QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), RigctlServer::kMaxClients - 1, kWaitMs);
            QCOMPARE(server_->parkedCount(), 0);
            // The slot is there for a newcomer, not for the one that left.
            clients.front() = Connect();
            QVERIFY(clients.front());
            ASK(*clients.front(), "v\n", 1, QStringList{"VFOA"});
        } else {
            // Straight into its descriptor, past Qt, as much as the kernel
            // takes at each turn of the event loop, until it is turned away.
            QTRY_VERIFY_WITH_TIMEOUT(late->socket.state() == QAbstractSocket::ConnectedState, kWaitMs);
            late->socket.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16 * 1024);
            const int fd = int(late->socket.socketDescriptor());
            constexpr qint64 kUnbounded = 1024 * 1024;
            const std::string chunk(64 * 1024, 'f');
            qint64 pushed = 0;
            QVERIFY(QTest::qWaitFor([&] {
                for (ssize_t n; pushed < kUnbounded
                                && (n = ::send(fd, chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL)) > 0;)
                    pushed += n;
                return late->Closed() || pushed >= kUnbounded;
            }, kWaitMs));
            QVERIFY2(pushed < kUnbounded, qPrintable(QStringLiteral("%1 bytes taken").arg(pushed)));
            QCOMPARE(late->received, QByteArray());
            QCOMPARE(server_->parkedCount(), 0);
        }
        QCOMPARE(int(radio_->openClients.size()), server_->clientCount());
    }

    // Clients that send a set and close at once, with the radio silent (the
    // sets are held): each gives its slot back as it closes, the radio side
    // hears that it stopped sending, and within the bound on replies owed
    // its descriptors close and its set is dropped.
    void closedClientsGiveBackTheirSlots()
    {
        radio_->holdSets = true;
        const int clients = RigctlServer::kMaxClients + 1;
        for (int i = 0; i < clients; ++i) {
            const int fd = ConnectedDescriptor(port_);
            QVERIFY(fd >= 0);
            const QByteArray set("F 14074000\n");
            QCOMPARE(::send(fd, set.constData(), size_t(set.size()), MSG_NOSIGNAL), ssize_t(set.size()));
            QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), i + 1, kWaitMs);
            ::close(fd);
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(radio_->stoppedSending.size()), clients, kWaitMs);
        QCOMPARE(server_->clientCount(), 0);
        // What the server holds meanwhile is not inherited by programs it starts.
        for (int fd : Descriptors())
            if (std::find(baseline_.begin(), baseline_.end(), fd) == baseline_.end()
                && (::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0)
                QFAIL(qPrintable(QStringLiteral("descriptor %1 is inherited on exec").arg(fd)));
        const std::set<int> stopped(radio_->stoppedSending.begin(), radio_->stoppedSending.end());
        QCOMPARE(int(stopped.size()), clients);

        // Each leaves its turns once, its held set dropped.
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 0, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(int(radio_->closedClients.size()), clients, kWaitMs);
    }

    // "::" listens on both stacks: an IPv4 client is served and judged by
    // its IPv4 address, and the address reads as "[::]".
    void bothStacksOnDoubleColon()
    {
        RigctlServer both(*radio_);
        const QHostAddress ipv4Loopback(QStringLiteral("127.0.0.1"));
        // Equal only to the IPv4 form, not to "::ffff:127.0.0.1".
        both.setAdmission([ipv4Loopback](const QHostAddress& source) { return source == ipv4Loopback; });
        QSignalSpy refused(&both, &RigctlServer::connectionRefused);
        QVERIFY2(both.listen(QHostAddress(QStringLiteral("::")), 0), qPrintable(both.errorString()));
        QCOMPARE(EndpointText(both.serverAddress(), both.serverPort()),
                 QStringLiteral("[::]:%1").arg(both.serverPort()));

        Client ipv4(both.serverPort(), ipv4Loopback);
        ASK(ipv4, "v\n", 1, QStringList{"VFOA"});

        Client ipv6(both.serverPort(), QHostAddress::LocalHostIPv6);
        QTRY_COMPARE_WITH_TIMEOUT(refused.size(), 1, kWaitMs);
        QCOMPARE(refused.first().first().value<QHostAddress>(), QHostAddress(QHostAddress::LocalHostIPv6));
        QTRY_VERIFY_WITH_TIMEOUT(ipv6.Closed(), kWaitMs);
    }

    // With the process out of descriptors the system cannot accept: the
    // server pauses, serves the others meanwhile without retrying in a
    // loop, tries again later, and serves the client once descriptors are
    // free.
    void acceptResumesAfterRunningOutOfDescriptors()
    {
        auto other = Connect();
        QVERIFY(other);
        QSignalSpy failures(server_.get(), &RigctlServer::acceptFailed);
        // Connected before the descriptors run out; the server, on this
        // thread, first tries to accept it once there are none.
        Client late(port_);
        {
            // Every descriptor below a lowered limit taken, until the scope ends.
            rlimit saved{};
            ::getrlimit(RLIMIT_NOFILE, &saved);
            const rlimit lowered{rlim_t(Descriptors().back() + 16), saved.rlim_max};
            ::setrlimit(RLIMIT_NOFILE, &lowered);
            std::vector<int> fillers;
            for (int fd; (fd = ::dup(int(other->socket.socketDescriptor()))) >= 0;)
                fillers.push_back(fd);
            const auto release = qScopeGuard([&] {
                for (int fd : fillers)
                    ::close(fd);
                ::setrlimit(RLIMIT_NOFILE, &saved);
            });
            QVERIFY(!fillers.empty());
            // Polled, not QSignalSpy::wait: the sanitizer's own checks need a
            // pipe, and there is no descriptor left for one here.
            QTRY_VERIFY2_WITH_TIMEOUT(!failures.isEmpty(), "accepting never failed", kWaitMs);
            QCOMPARE(failures.first().first().value<QAbstractSocket::SocketError>(),
                     QAbstractSocket::SocketResourceError);
            // Turns of the event loop while the client still waits: one
            // failure per pause, not one per turn.
            for (int i = 0; i < 5; ++i)
                ASK(*other, "v\n", 1, QStringList{"VFOA"});
            QVERIFY2(failures.size() <= 3, qPrintable(QStringLiteral("%1 failures").arg(failures.size())));
        }
        ASK(late, "v\n", 1, QStringList{"VFOA"});
    }

    // Each refused address is reported once, up to the limit; beyond it the
    // refusals are counted and summed up once a period. A client that reset
    // before it was accepted has no address and is not reported at all.
    void refusalsPastTheLimitAreSummarized()
    {
        const QHostAddress member(QStringLiteral("127.0.0.1"));
        server_->setAdmission([member](const QHostAddress& source) { return source == member; });
        server_->setRefusalReporting(2, 200);
        QSignalSpy refused(server_.get(), &RigctlServer::connectionRefused);
        QSignalSpy summaries(server_.get(), &RigctlServer::refusalsSummarized);
        const auto refuse = [this](const char* source) {
            QTcpSocket outsider;
            outsider.setProxy(QNetworkProxy::NoProxy); // its lookup would keep a descriptor for good
            if (!outsider.bind(QHostAddress(QString::fromLatin1(source)), 0))
                return false;
            outsider.connectToHost(QHostAddress::LocalHost, port_);
            return QTest::qWaitFor([&] { return outsider.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
        };
        // Reset while waiting to be accepted (the server runs on this
        // thread, so it accepts after the reset): no address, no report.
        const int reset = ConnectedDescriptor(port_);
        QVERIFY(reset >= 0);
        const linger abortive{1, 0};
        ::setsockopt(reset, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        ::close(reset);
        Client after(port_, member);
        ASK(after, "v\n", 1, QStringList{"VFOA"});
        QCOMPARE(refused.size(), 0);

        for (const char* source : {"127.0.0.2", "127.0.0.3", "127.0.0.2", "127.0.0.4", "127.0.0.5", "127.0.0.4"})
            QVERIFY(refuse(source));
        QVERIFY(summaries.wait(kWaitMs));
        QCOMPARE(summaries.first(), (QList<QVariant>{3, 2}));
        // Counted afresh for the next period; a reported address stays quiet.
        for (const char* source : {"127.0.0.3", "127.0.0.6"})
            QVERIFY(refuse(source));
        QVERIFY(summaries.wait(kWaitMs));
        QCOMPARE(summaries.last(), (QList<QVariant>{1, 1}));
        QCOMPARE(refused.size(), 2);
        QCOMPARE(refused.at(1).first().value<QHostAddress>(), QHostAddress(QStringLiteral("127.0.0.3")));
    }
};

QTEST_GUILESS_MAIN(TestRigctlLifecycle)
#include "test_rigctl_lifecycle.moc"
