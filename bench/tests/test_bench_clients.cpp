// The benchmark's clients against the real program and the simulator: the
// Doppler client's sets reach the radio's two VFOs and its read-backs are
// judged right, the keying child keys and, killed, is unkeyed by the
// server, and a client of a server that never answers stops in bounded time.

#include "bench_server.h"
#include "duplex_client.h"
#include "key_child.h"
#include "log_watcher.h"
#include "network_phases.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = LogWatcher::Clock;

// A loopback port that accepts connections (the kernel's backlog) and
// never reads or answers them.
class DeafServer {
public:
    DeafServer()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd_, 16) == 0
            && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~DeafServer() { ::close(fd_); }
    int port() const { return port_; }

protected:
    int fd_ = -1;
    int port_ = 0;
};

// One connection answered `reply` for every line it sends.
class ParrotServer : public DeafServer {
public:
    explicit ParrotServer(std::string reply) : reply_(std::move(reply))
    {
        thread_ = std::thread([this] {
            const int client = ::accept(fd_, nullptr, nullptr);
            char chunk[512];
            for (ssize_t n; client >= 0 && (n = ::recv(client, chunk, sizeof chunk, 0)) > 0;)
                for (ssize_t i = 0; i < n; ++i)
                    if (chunk[i] == '\n')
                        ::send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            if (client >= 0)
                ::close(client);
        });
    }
    ~ParrotServer() { thread_.join(); }

private:
    std::string reply_;
    std::thread thread_;
};

} // namespace

class TestBenchClients : public QObject {
    Q_OBJECT
private slots:
    void duplexSetAsGpredictPrintsIt_data()
    {
        QTest::addColumn<char>("command");
        QTest::addColumn<long>("hz");
        QTest::addColumn<QString>("request");
        QTest::newRow("70 cm, nine digits: two spaces") << 'F' << 435900000L << QStringLiteral("F  435900000");
        QTest::newRow("2 m uplink") << 'I' << 145900000L << QStringLiteral("I  145900000");
        QTest::newRow("23 cm, ten digits: one space") << 'F' << 1296000000L << QStringLiteral("F 1296000000");
        QTest::newRow("6 m, eight digits: three spaces") << 'I' << 50100000L << QStringLiteral("I   50100000");
    }
    void duplexSetAsGpredictPrintsIt()
    {
        QFETCH(char, command);
        QFETCH(long, hz);
        QFETCH(QString, request);
        QCOMPARE(QString::fromStdString(DuplexSet(command, hz)), request);
    }

    // Two Doppler cycles: each set is one command to its own VFO, and the
    // read-back after it reports the frequency just set.
    void dopplerCyclesReachBothVfos()
    {
        BenchServer server;
        QVERIFY2(server.startSolvane(QStringLiteral(SOLVANE_PATH)), qPrintable(server.failure()));
        DuplexClient doppler(server.port(), 5000);
        QCOMPARE(doppler.engage(), std::string("RPRT 0"));
        doppler.cycle(435899980, 145900010);
        doppler.cycle(435899960, 145900020);
        const DuplexStats& s = doppler.stats();
        QCOMPARE(s.cycles, 2);
        QCOMPARE(s.errors(), 0);
        QCOMPARE(s.down.answered, 2);
        QCOMPARE(s.up.answered, 2);
        QCOMPARE(s.reads.answered, 8);
        QCOMPARE(s.readBacks, 4);
        QCOMPARE(s.readBacksEqual, 4);
        QTRY_VERIFY_WITH_TIMEOUT(server.sim().loggedCommands().contains(QStringLiteral("14 59 00 02 21")), 10000);
        const QStringList log = server.sim().loggedCommands();
        const QStringList expected{QStringLiteral("00 00 00 00 4E"), QStringLiteral("43 58 99 98 11"),
                                   QStringLiteral("14 59 00 01 21"), QStringLiteral("43 58 99 96 11"),
                                   QStringLiteral("14 59 00 02 21")};
        qsizetype at = 0;
        for (const QString& command : expected) {
            at = log.indexOf(command, at);
            QVERIFY2(at >= 0, qPrintable(command + QStringLiteral(" missing or out of order")));
        }
    }

    // A read-back that differs from the set is counted as such.
    void aReadBackThatMovedIsNotEqual()
    {
        BenchServer server;
        QVERIFY2(server.startSolvane(QStringLiteral(SOLVANE_PATH)), qPrintable(server.failure()));
        DuplexClient doppler(server.port(), 5000);
        QCOMPARE(doppler.engage(), std::string("RPRT 0"));
        // The radio tunes in 10 Hz steps, so f reads back another frequency.
        doppler.cycle(435899985, 145900010);
        QCOMPARE(doppler.stats().readBacks, 2);
        QCOMPARE(doppler.stats().readBacksEqual, 1);
    }

    // As gpredict judges replies: a read answered with an RPRT line failed.
    void readsAnsweredRprtAreErrors()
    {
        ParrotServer parrot("RPRT 0\n");
        QVERIFY(parrot.port() > 0);
        {
            DuplexClient doppler(parrot.port(), 5000);
            doppler.cycle(435899980, 145900010);
            const DuplexStats& s = doppler.stats();
            QCOMPARE(s.reads.refused, 4);
            QCOMPARE(s.down.answered, 1);
            QCOMPARE(s.up.answered, 1);
            QCOMPARE(s.firstError, std::string("f -> RPRT 0"));
        }
    }

    // The keying child keys through the server; killed, the server unkeys.
    void keyingChildKeysAndIsUnkeyedWhenKilled()
    {
        BenchServer server;
        QVERIFY2(server.startSolvane(QStringLiteral(SOLVANE_PATH)), qPrintable(server.failure()));
        LogWatcher watcher(server.sim().logPath().toStdString());
        KeyingChild child;
        QVERIFY2(child.start(QStringLiteral(SOLVANE_BENCH_PATH), server.port(), 10000), qPrintable(child.failure()));
        const auto key = watcher.waitFor(0, "08", Clock::now() + 10s);
        QVERIFY(key);
        const std::size_t afterKey = watcher.size();
        const auto killed = child.kill();
        const auto unkey = watcher.waitFor(afterKey, "88", Clock::now() + 10s);
        QVERIFY(unkey);
        QVERIFY(unkey->seen >= killed);
    }

    void keyingChildSaysWhyItDidNotKey()
    {
        DeafServer deaf;
        QVERIFY(deaf.port() > 0);
        KeyingChild child;
        QVERIFY(!child.start(QStringLiteral(SOLVANE_BENCH_PATH), deaf.port(), 15000));
        QCOMPARE(child.failure(), QStringLiteral("failed: no reply in 10 s"));
    }

    // Against a server that never answers, the sets stop after the time-outs
    // in a row they may have, each bounded.
    void setsGiveUpOnASilentServer()
    {
        DeafServer deaf;
        QVERIFY(deaf.port() > 0);
        const ClientStats s = SetFrequencies(deaf.port(), 10, 200, 3);
        QCOMPARE(s.asked, 3);
        QCOMPARE(s.timeouts, 3);
        QCOMPARE(s.answered, 0);
    }
};

QTEST_GUILESS_MAIN(TestBenchClients)
#include "test_bench_clients.moc"
