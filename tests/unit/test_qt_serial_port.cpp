// The serial port over a real pty: what it signals, what it reads once
// asked to, and how a flushed input and the end of the device show. The
// other end is the pty's master, written and closed here.

#include "qt_serial_port.h"

#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct PtyRig {
    int master = -1;
    QtSerialPort port;
    QSignalSpy readyReads{&port, &SerialPort::readyRead};
    QSignalSpy failures{&port, &SerialPort::failed};

    bool start()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return false;
        return port.open(QString::fromLocal8Bit(::ptsname(master)), LineSettings{});
    }
    ~PtyRig()
    {
        if (master >= 0)
            ::close(master);
    }
    bool send(const QByteArray& bytes)
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    }
    // Reads what the driver holds until `bytes` are in, or the port closed.
    bool fetched(qint64 bytes)
    {
        port.fetchInput();
        return !port.isOpen() || port.bytesAvailable() == bytes;
    }
};

} // namespace

class TestQtSerialPort : public QObject {
    Q_OBJECT
private slots:
    // Watched, bytes are signalled as they come; unwatched they wait in the
    // driver, waking nobody, until fetched. Input flushed after the reader
    // was told of it leaves a read with nothing, which is no failure; a
    // device that hangs up closes the port, found by the next fetch.
    void input_data()
    {
        QTest::addColumn<bool>("watched");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("then"); // "", "flush", "hang up"
        QTest::addColumn<int>("signalled");
        QTest::addColumn<bool>("open");
        const QByteArray two = QByteArray::fromHex("0A0B");
        QTest::newRow("watched: signalled as they come") << true << two << QString() << 1 << true;
        QTest::newRow("unwatched: read once fetched") << false << two << QString() << 0 << true;
        QTest::newRow("flushed after it came") << true << two << "flush" << 0 << true;
        QTest::newRow("the device hangs up") << false << QByteArray() << "hang up" << 0 << false;
    }
    void input()
    {
        QFETCH(bool, watched);
        QFETCH(QByteArray, sent);
        QFETCH(QString, then);
        QFETCH(int, signalled);
        QFETCH(bool, open);
        PtyRig rig;
        QVERIFY(rig.start());
        rig.port.setInputWatched(watched);
        QVERIFY(rig.send(sent));
        if (then == QLatin1String("flush"))
            rig.port.discardInput(); // before the reader's turn comes
        if (then == QLatin1String("hang up")) {
            ::close(rig.master);
            rig.master = -1;
        }
        if (signalled > 0)
            QTRY_COMPARE(int(rig.readyReads.count()), signalled);
        QCoreApplication::processEvents(); // a reader watching would be told now
        const qint64 expected = then.isEmpty() ? sent.size() : 0;
        QTRY_VERIFY(rig.fetched(expected));
        QCOMPARE(int(rig.readyReads.count()), signalled);
        QCOMPARE(rig.port.isOpen(), open);
        QCOMPARE(int(rig.failures.count()), open ? 0 : 1);
        if (!open)
            return;
        QCOMPARE(rig.port.read(8), then.isEmpty() ? sent : QByteArray());
        // The port still hears what comes next.
        rig.port.setInputWatched(true);
        QVERIFY(rig.send(QByteArray::fromHex("0C")));
        QTRY_COMPARE(int(rig.readyReads.count()), signalled + 1);
        QCOMPARE(rig.port.read(8), QByteArray::fromHex("0C"));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "test_qt_serial_port.moc"
