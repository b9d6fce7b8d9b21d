// The simulator's adapter unplugged and plugged back in, seen through its
// stable link path by a real QSerialPort and by a plain POSIX client.

#include "pty_client.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace simtest;

namespace {
// Writes `command` and collects replies until `n` bytes are in or 3 s pass.
Bytes Exchange(QSerialPort& port, const Bytes& command, int n)
{
    port.write(command);
    const QDeadlineTimer deadline(3000);
    while (port.bytesAvailable() < n && !deadline.hasExpired())
        QTest::qWait(5);
    return port.readAll();
}

bool OpenPort(QSerialPort& port)
{
    port.setBaudRate(57600);
    return port.open(QIODevice::ReadWrite);
}
} // namespace

class TestSimulatorPlug : public QObject {
    Q_OBJECT
private slots:
    void serialPortThroughUnplugAndReplug()
    {
        SimProcess sim;
        QVERIFY(sim.startWithLink({"--smeter", "8"}));
        const QString link = sim.linkPath();
        QVERIFY(link.startsWith('/'));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device());

        QSerialPort port(link);
        QVERIFY(OpenPort(port));
        QCOMPARE(Exchange(port, ReadStatus, 1), Bytes::fromHex("08"));

        QSignalSpy errors(&port, &QSerialPort::errorOccurred);
        QVERIFY(sim.unplug());
        QVERIFY(sim.device().isEmpty());
        QVERIFY(!QFileInfo(link).isSymLink());
        // The hang-up reaches the open port unasked. Qt 6.4 reads it as end of
        // file and reports ReadError (again and again until the port is
        // closed); the next write fails with ResourceError.
        QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), 3000);
        const auto first = errors.first().first().value<QSerialPort::SerialPortError>();
        QVERIFY2(first == QSerialPort::ReadError || first == QSerialPort::ResourceError, qPrintable(port.errorString()));
        port.write(ReadStatus);
        QTRY_COMPARE_WITH_TIMEOUT(port.error(), QSerialPort::ResourceError, 3000);

        // Unplugged, the path is gone and state changes wait for the radio's return.
        port.close();
        port.clearError();
        QVERIFY(!OpenPort(port));
        QCOMPARE(port.error(), QSerialPort::DeviceNotFoundError);
        QVERIFY(sim.send("freq 705000"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused \"unplug\".*already unplugged"));
        QVERIFY(!sim.unplug());

        QVERIFY(sim.replug());
        QVERIFY(sim.device().startsWith("/dev/"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused \"replug\".*already plugged in"));
        QVERIFY(!sim.replug());

        port.clearError();
        QVERIFY(OpenPort(port));
        QCOMPARE(Exchange(port, ReadFreqMode, 5), Bytes::fromHex("0070500001"));
        QCOMPARE(port.error(), QSerialPort::NoError);
        // The same log carries on across the replug.
        QVERIFY(sim.waitForLogLines(2, 2000));
        QCOMPARE(sim.loggedCommands(), QStringList({"00 00 00 00 E7", "00 00 00 00 03"}));

        port.close();
        sim.stop();
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void replugStartsClean()
    {
        // No resync timer: only the unplug can drop the half-received frame.
        Rig rig;
        QVERIFY(rig.start({"--resync-ms", "0", "--baud", "300", "--smeter", "8"}));
        QVERIFY(rig.sim.linkPath().isEmpty());
        rig.client.write(ReadFreqMode);
        QCOMPARE(rig.client.read(1, 2000), Bytes::fromHex("01")); // four more bytes take about 130 ms
        rig.client.write(Bytes::fromHex("0000"));
        QVERIFY(rig.sim.unplug());
        // The client's end hangs up: end of file, then no more writes.
        QCOMPARE(rig.client.read(10, 2000), Bytes());
        QVERIFY(!rig.client.write(ReadStatus));

        QVERIFY(rig.sim.replug());
        QVERIFY(rig.client.open(rig.sim.device()));
        // Neither the rest of the old reply nor the stray fragment comes back.
        QCOMPARE(rig.client.read(5, 300), Bytes());
        QCOMPARE(rig.client.exchange(ReadStatus, 400), Bytes::fromHex("08")); // 5 + 1 bytes at 300 baud
        QVERIFY(rig.sim.waitForLogLines(2, 2000));
        QCOMPARE(rig.sim.loggedCommands(), QStringList({"00 00 00 00 03", "00 00 00 00 E7"}));
    }

    void linkGivenByTheCaller()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("by-id-ft847");
        SimProcess sim;
        QVERIFY(sim.start({"--link", link}));
        QCOMPARE(sim.linkPath(), link);
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device());
        QVERIFY(sim.unplug());
        QVERIFY(!QFileInfo(link).isSymLink());
        // A replug where the link path is taken by something else fails whole.
        QFile squatter(link);
        QVERIFY(squatter.open(QIODevice::WriteOnly));
        squatter.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused \"replug\".*cannot link"));
        QVERIFY(!sim.replug());
        QVERIFY(QFile::remove(link));
        QVERIFY(sim.replug());
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device());
    }
};

QTEST_GUILESS_MAIN(TestSimulatorPlug)
#include "test_simulator_plug.moc"
