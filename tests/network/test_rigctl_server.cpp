// The rig-control server over real TCP on 127.0.0.1, with a scripted radio:
// how lines are answered, connections kept apart, sets ordered, and greedy
// or broken clients kept from hurting the others.

#include "fake_rig_backend.h"
#include "line_client.h"
#include "rigctl_server.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <fcntl.h>

#include <memory>

class TestRigctlServer : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<FakeRigBackend> radio_;
    std::unique_ptr<RigctlServer> server_;
    quint16 port_ = 0;

    std::unique_ptr<Client> Connect() { return ConnectServed(*server_, port_); }

private slots:
    void init()
    {
        radio_ = std::make_unique<FakeRigBackend>();
        server_ = std::make_unique<RigctlServer>(*radio_);
        QVERIFY2(server_->listen(QHostAddress::LocalHost, 0), qPrintable(server_->errorString()));
        port_ = server_->serverPort();
    }
    void cleanup()
    {
        server_.reset();
        radio_.reset();
    }

    void severalCommandsOnOneLine()
    {
        auto client = Connect();
        QVERIFY(client);
        ASK(*client, "fmv\n", 4, (QStringList{"14074000", "USB", "2200", "VFOA"}));
        ASK(*client, "f m\r\nv\r\n", 4, (QStringList{"14074000", "USB", "2200", "VFOA"}));
    }

    // Exactly two lines: the next request's reply follows straight on.
    void lockModeIsTwoLines()
    {
        auto client = Connect();
        QVERIFY(client);
        ASK(*client, "\\get_lock_mode\nv\n", 3, (QStringList{"0", "RPRT 0", "VFOA"}));
    }

    // A client that opens with "+\stream_caps", as newer ones do, gets plain
    // replies to its plain requests after it. A prefix shapes one request
    // and never reaches another connection.
    void prefixShapesOneRequestOnly()
    {
        auto newer = Connect();
        auto other = Connect();
        QVERIFY(newer && other);
        ASK(*newer, "+\\stream_caps\n", 1, QStringList{"RPRT -11"});
        ASK(*newer, "f\n", 1, QStringList{"14074000"});
        ASK(*other, ";v\n", 1, QStringList{"get_vfo:;VFO: VFOA;RPRT 0"});
        ASK(*newer, "+f\nt\n", 4, (QStringList{"get_freq:", "Frequency: 14074000", "RPRT 0", "0"}));
        ASK(*other, "t\n", 1, QStringList{"0"});
        // An overlong line's prefix goes with the line.
        ASK(*newer, "+" + QByteArray(2000, 'f') + "\nv\n", 2, (QStringList{"RPRT -1", "VFOA"}));
    }

    void unknownCommandIsAnswered()
    {
        auto client = Connect();
        QVERIFY(client);
        ASK(*client, "Y\n", 1, QStringList{"RPRT -11"});
        ASK(*client, "\\set_split_freq 14074000\nv\n", 2, (QStringList{"RPRT -11", "VFOA"}));
    }

    // Refused as soon as it is too long, its rest dropped, and the
    // connection then reads the next line normally.
    void overlongLineThenNormalRequest()
    {
        auto client = Connect();
        QVERIFY(client);
        ASK(*client, QByteArray(2000, 'f'), 1, QStringList{"RPRT -1"});
        client->Send(QByteArray(3000, 'f'));
        ASK(*client, "\nv\n", 1, QStringList{"VFOA"});
        ASK(*client, "s\n", 2, (QStringList{"0", "VFOA"}));
    }

    // Whatever the bytes, the connection keeps answering. (No 'q' in them:
    // that would close it.)
    void binaryJunkIsAnswered()
    {
        auto client = Connect();
        QVERIFY(client);
        QByteArray junk;
        for (int i = 0; i < 4096; ++i) {
            const char byte = char((i * 7919) % 256);
            junk += (byte == 'q' || byte == 'Q') ? '\0' : byte;
        }
        client->Send(junk + "\n");
        client->Send("v\n");
        QTRY_VERIFY_WITH_TIMEOUT(client->Lines().size() > 0 && client->Lines().last().contains("VFOA"), kWaitMs);
        QVERIFY(!client->Closed());
        QCOMPARE(server_->clientCount(), 1);
    }

    void quitCloses()
    {
        auto client = Connect();
        QVERIFY(client);
        client->Send("f\nq\nf\n");
        QTRY_VERIFY_WITH_TIMEOUT(client->Closed(), kWaitMs);
        QCOMPARE(client->Lines(), (QStringList{"14074000", "RPRT 0"}));
        QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 0, kWaitMs);
    }

    // A client may close its sending side once its requests are out, and
    // still read every reply.
    void halfClosedClientGetsItsReplies()
    {
        const int client = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(client >= 0);
        // A small window keeps replies waiting on the server's side when
        // the client's end is seen closed.
        const int small = 4096;
        ::setsockopt(client, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::fcntl(client, F_SETFL, O_NONBLOCK);
        // A set still waiting for the line when the client's end is seen
        // closed (echo F 14074000 | nc -N) is answered all the same.
        radio_->holdSets = true;
        const QByteArray requests = QByteArray("\\dump_state\n").repeated(70) + "F 14074000\nv\n";
        QCOMPARE(::send(client, requests.constData(), size_t(requests.size()), MSG_NOSIGNAL), ssize_t(requests.size()));
        ::shutdown(client, SHUT_WR);
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 1, kWaitMs);
        QTest::qWait(200); // the server sees the end of input while the set waits
        radio_->Release();

        QByteArray replies;
        bool ended = false;
        QVERIFY(QTest::qWaitFor([&] {
            char buffer[65536];
            ssize_t n;
            while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0)
                replies.append(buffer, n);
            ended = n == 0;
            return ended;
        }, kWaitMs));
        ::close(client);
        QCOMPARE(replies.count("done\n"), 70);
        QVERIFY(replies.endsWith("done\nRPRT 0\nVFOA\n"));
    }

    // A client that sends but never reads is dropped once its unread
    // replies pile up; another client is answered throughout.
    void clientThatNeverReadsIsDropped()
    {
        auto reader = Connect();
        QVERIFY(reader);

        const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(silent >= 0);
        const int small = 4096;
        ::setsockopt(silent, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::fcntl(silent, F_SETFL, O_NONBLOCK);
        QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 2, kWaitMs);

        QSignalSpy counts(server_.get(), &RigctlServer::clientCountChanged);
        const QByteArray batch = QByteArray("\\dump_state\n").repeated(100);
        for (int round = 0; round < 2000 && server_->clientCount() == 2; ++round) {
            (void)::send(silent, batch.constData(), size_t(batch.size()), MSG_NOSIGNAL);
            ASK(*reader, "v\n", 1, QStringList{"VFOA"});
        }
        QCOMPARE(server_->clientCount(), 1);
        QCOMPARE(counts.size(), 1);
        ASK(*reader, "f\n", 1, QStringList{"14074000"});
        ::close(silent);
    }

    void thirtyThirdConnectionIsClosed()
    {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < RigctlServer::kMaxClients; ++i) {
            clients.push_back(Connect());
            QVERIFY(clients.back());
        }
        QCOMPARE(server_->clientCount(), 32);

        Client extra(port_);
        QTRY_VERIFY_WITH_TIMEOUT(extra.Closed(), kWaitMs);
        QCOMPARE(server_->clientCount(), 32);
        ASK(*clients.front(), "v\n", 1, QStringList{"VFOA"});
        ASK(*clients.back(), "v\n", 1, QStringList{"VFOA"});

        // A place freed is a place for the next one.
        clients.front()->socket.disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 31, kWaitMs);
        auto next = Connect();
        QVERIFY(next);
        ASK(*next, "v\n", 1, QStringList{"VFOA"});

        // A program that reconnects at once gets the place its old
        // connection frees, even if the new one is seen first.
        clients.back()->socket.disconnectFromHost();
        Client quick(port_);
        ASK(quick, "v\n", 1, QStringList{"VFOA"});
        QCOMPARE(server_->clientCount(), 32);
    }

    // A set answers once the queue has it on the wire; the requests behind
    // it on that connection wait, and other connections carry on.
    void setHeldUntilSent()
    {
        radio_->holdSets = true;
        auto setter = Connect();
        auto other = Connect();
        QVERIFY(setter && other);
        setter->Send("F 14074055\nf\n");
        QTRY_COMPARE_WITH_TIMEOUT(radio_->sets, QStringList{"F1407405"}, kWaitMs);
        ASK(*other, "f\n", 1, QStringList{"14074000"});
        QCOMPARE(setter->received, QByteArray());

        radio_->Release();
        QTRY_VERIFY_WITH_TIMEOUT(setter->Has(2), kWaitMs);
        QCOMPARE(setter->Take(2), (QStringList{"RPRT 0", "14074050"}));

        // Failing to send is an error reply.
        setter->Send("M CW 500\n");
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 1, kWaitMs);
        radio_->Release(false);
        QTRY_VERIFY_WITH_TIMEOUT(setter->Has(1), kWaitMs);
        QCOMPARE(setter->Take(1), QStringList{"RPRT -6"});
    }

    // A second report for a set already answered does not answer the next.
    void repeatedReportIsIgnored()
    {
        radio_->holdSets = true;
        auto client = Connect();
        auto reader = Connect();
        QVERIFY(client && reader);
        client->Send("F 7074000\nM CW 500\n");
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 1, kWaitMs);
        radio_->Release();
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 1, kWaitMs); // the mode set now waits
        radio_->RepeatLastReport();
        ASK(*reader, "v\n", 1, QStringList{"VFOA"});
        QCOMPARE(client->Lines(), QStringList{"RPRT 0"});
        radio_->Release(false);
        QTRY_VERIFY_WITH_TIMEOUT(client->Has(2), kWaitMs);
        QCOMPARE(client->Take(2), (QStringList{"RPRT 0", "RPRT -6"}));
    }

    // A queue that reports "sent" inside the call answers in order too.
    void setSentAtOnce()
    {
        auto client = Connect();
        QVERIFY(client);
        ASK(*client, "F 7074000\nf\nM CW 500 m\n", 5, (QStringList{"RPRT 0", "7074000", "RPRT 0", "CW", "500"}));
        QCOMPARE(radio_->sets, (QStringList{"F707400", "M82"}));
    }

    void setOnClosedPortSendsNothing()
    {
        radio_->snapshot.portOpen = false;
        auto client = Connect();
        QVERIFY(client);
        ASK(*client, "F 14074000\nM USB 0\nT 1\n", 3, (QStringList{"RPRT -6", "RPRT -6", "RPRT -6"}));
        QCOMPARE(radio_->sets, QStringList());
    }

    void setsFromTwoClientsKeepArrivalOrder()
    {
        radio_->holdSets = true;
        auto first = Connect();
        auto second = Connect();
        auto reader = Connect();
        QVERIFY(first && second && reader);
        first->Send("F 7074000\n");
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 1, kWaitMs);
        second->Send("M CW 500\n");
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 2, kWaitMs);
        first->Send("F 14074000\n"); // waits behind this client's own set
        ASK(*reader, "v\n", 1, QStringList{"VFOA"}); // a round trip, for the server to read it
        QCOMPARE(radio_->sets, (QStringList{"F707400", "M82"}));

        radio_->Release();
        QTRY_COMPARE_WITH_TIMEOUT(radio_->sets, (QStringList{"F707400", "M82", "F1407400"}), kWaitMs);
        radio_->Release();
        radio_->Release();
        QTRY_VERIFY_WITH_TIMEOUT(first->Has(2) && second->Has(1), kWaitMs);
        QCOMPARE(first->Take(2), (QStringList{"RPRT 0", "RPRT 0"}));
        QCOMPARE(second->Take(1), QStringList{"RPRT 0"});
    }

    // A set still waiting when its client leaves is finished harmlessly.
    void clientLeavesWhileSetWaits()
    {
        radio_->holdSets = true;
        auto client = Connect();
        QVERIFY(client);
        client->Send("F 7074000\n");
        QTRY_COMPARE_WITH_TIMEOUT(radio_->Held(), 1, kWaitMs);
        client->socket.abort();
        // Its slot is free at once; the set may still be answered (a client
        // that only closed its sending side still reads it).
        QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 0, kWaitMs);
        QCOMPARE(radio_->stoppedSending.size(), std::size_t(1));
        QCOMPARE(radio_->Held(), 1);
        radio_->Release();
        QTRY_VERIFY_WITH_TIMEOUT(radio_->openClients.empty(), kWaitMs);
        auto next = Connect();
        QVERIFY(next);
        ASK(*next, "v\n", 1, QStringList{"VFOA"});
    }

    void closeAllEndsEveryConnection()
    {
        auto a = Connect();
        auto b = Connect();
        QVERIFY(a && b);
        QSignalSpy counts(server_.get(), &RigctlServer::clientCountChanged);
        server_->closeAll();
        QCOMPARE(server_->clientCount(), 0);
        QCOMPARE(counts.last().first().toInt(), 0);
        QVERIFY(!server_->isListening());
        QTRY_VERIFY_WITH_TIMEOUT(a->Closed() && b->Closed(), kWaitMs);
    }

    void portInUseIsReported()
    {
        FakeRigBackend radio;
        RigctlServer second(radio);
        QVERIFY(!second.listen(QHostAddress::LocalHost, port_));
        QCOMPARE(second.serverError(), QAbstractSocket::AddressInUseError);
        QVERIFY(!second.errorString().isEmpty());
        QVERIFY(!second.isListening());
    }

    // A client the admission rule refuses (here 127.0.0.2, standing in for
    // an address outside [Network] Allow) is closed at once, reported once
    // per address, and never becomes a client.
    void refusedClientIsClosedAndReportedOnce()
    {
        const QHostAddress outside(QStringLiteral("127.0.0.2"));
        server_->setAdmission([outside](const QHostAddress& source) { return source != outside; });
        QSignalSpy refused(server_.get(), &RigctlServer::connectionRefused);
        auto member = Connect();
        QVERIFY(member);
        for (int i = 0; i < 2; ++i) {
            QTcpSocket outsider;
            QVERIFY(outsider.bind(outside, 0));
            outsider.connectToHost(QHostAddress::LocalHost, port_);
            QTRY_VERIFY_WITH_TIMEOUT(refused.size() == 1 && outsider.state() == QAbstractSocket::UnconnectedState,
                                     kWaitMs);
        }
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.first().first().value<QHostAddress>(), outside);
        QCOMPARE(server_->clientCount(), 1);
        ASK(*member, "v\n", 1, QStringList{"VFOA"});
    }
};

QTEST_GUILESS_MAIN(TestRigctlServer)
#include "test_rigctl_server.moc"
