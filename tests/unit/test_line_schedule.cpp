// Who gets the serial line next, as a table: what is waiting in, one turn out.

#include "line_schedule.h"

#include <QTest>

class TestLineSchedule : public QObject {
    Q_OBJECT
private slots:
    void nextTurn_data()
    {
        QTest::addColumn<bool>("pollDue");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("clients"); // one character a client: x waiting, . not
        QTest::addColumn<int>("nextClient");
        QTest::addColumn<QString>("expected"); // nothing, urgent, poll, window, or "client N"
        QTest::addColumn<bool>("lastWasPoll");
        QTest::addColumn<bool>("urgent");
        QTest::newRow("idle line") << false << false << "..." << 0 << "nothing" << false << false;
        QTest::newRow("a due poll") << true << false << "" << 0 << "poll" << false << false;
        QTest::newRow("a flood of client sets never starves the poll") << true << false << "xxxx" << 2 << "poll" << false << false;
        QTest::newRow("the person before the poll") << true << true << "" << 0 << "window" << false << false;
        QTest::newRow("the person before any client") << false << true << "xxx" << 1 << "window" << false << false;
        QTest::newRow("the client whose turn it is") << false << false << "xxx" << 1 << "client 1" << false << false;
        QTest::newRow("one with nothing waiting is passed over") << false << false << "x.x" << 1 << "client 2" << false << false;
        QTest::newRow("the circle wraps round") << false << false << "x.." << 1 << "client 0" << false << false;
        QTest::newRow("a turn past the end after a client left") << false << false << ".x" << 5 << "client 1" << false << false;
        QTest::newRow("only the fast client waiting") << false << false << "..x." << 3 << "client 2" << false << false;
        // A slow round, or a tick during one, makes the poll due again the
        // moment a read ends: a waiting client goes first, once.
        QTest::newRow("after a read, a waiting client goes") << true << false << ".x" << 0 << "client 1" << true << false;
        QTest::newRow("after a read, with nobody waiting, the next read") << true << false << ".." << 0 << "poll" << true << false;
        QTest::newRow("after a client, the poll's read") << true << false << "xx" << 1 << "poll" << false << false;
        QTest::newRow("after a read, the person still first") << true << true << "x" << 0 << "window" << true << false;
        QTest::newRow("an unkey before the person") << true << true << "x" << 0 << "urgent" << false << true;
        QTest::newRow("an unkey before a client after a read") << true << false << "x" << 0 << "urgent" << true << true;
    }
    void nextTurn()
    {
        QFETCH(bool, pollDue);
        QFETCH(bool, window);
        QFETCH(QString, clients);
        QFETCH(int, nextClient);
        QFETCH(QString, expected);
        QFETCH(bool, lastWasPoll);
        QFETCH(bool, urgent);
        LineDemand demand;
        demand.pollDue = pollDue;
        demand.windowWaiting = window;
        demand.lastWasPoll = lastWasPoll;
        demand.urgentWaiting = urgent;
        for (QChar c : clients)
            demand.clientWaiting.push_back(c == QLatin1Char('x'));
        demand.nextClient = std::size_t(nextClient);
        const LineTurn turn = NextTurn(demand);
        QString got;
        switch (turn.kind) {
        case LineTurn::Kind::Nothing: got = QStringLiteral("nothing"); break;
        case LineTurn::Kind::Urgent: got = QStringLiteral("urgent"); break;
        case LineTurn::Kind::Poll: got = QStringLiteral("poll"); break;
        case LineTurn::Kind::Window: got = QStringLiteral("window"); break;
        case LineTurn::Kind::Client: got = QStringLiteral("client %1").arg(turn.client); break;
        }
        QCOMPARE(got, expected);
    }
};

QTEST_GUILESS_MAIN(TestLineSchedule)
#include "test_line_schedule.moc"
