// The line settings text and the port-number text, as users type them.

#include "line_settings.h"
#include "port_mapping.h"

#include <QTest>

class TestLineSettings : public QObject {
    Q_OBJECT
private slots:
    void accepted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("data");
        QTest::addColumn<int>("stop");
        // How long a five-byte command takes to leave: start, data, parity
        // and stop bits over the rate, rounded up to the microsecond.
        QTest::addColumn<qint64>("commandUs");
        QTest::newRow("default") << "57600,N,8,1" << 57600 << int(QSerialPort::NoParity) << 8 << int(QSerialPort::OneStop) << qint64(869);
        QTest::newRow("4800 two stop") << "4800,N,8,2" << 4800 << int(QSerialPort::NoParity) << 8 << int(QSerialPort::TwoStop) << qint64(11459);
        QTest::newRow("even 7") << "9600,E,7,1" << 9600 << int(QSerialPort::EvenParity) << 7 << int(QSerialPort::OneStop) << qint64(5209);
        QTest::newRow("odd lower case") << "9600,o,8,1" << 9600 << int(QSerialPort::OddParity) << 8 << int(QSerialPort::OneStop) << qint64(5730);
        QTest::newRow("mark 1.5") << "1200,M,5,1.5" << 1200 << int(QSerialPort::MarkParity) << 5 << int(QSerialPort::OneAndHalfStop) << qint64(35417);
        QTest::newRow("space, blanks") << " 19200 , S , 6 , 1 " << 19200 << int(QSerialPort::SpaceParity) << 6 << int(QSerialPort::OneStop) << qint64(2344);
        QTest::newRow("4800 one stop") << "4800,N,8,1" << 4800 << int(QSerialPort::NoParity) << 8 << int(QSerialPort::OneStop) << qint64(10417);
    }
    void accepted()
    {
        QFETCH(QString, text);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, data);
        QFETCH(int, stop);
        QFETCH(qint64, commandUs);
        const auto settings = ParseLineSettings(text);
        QVERIFY(settings);
        QCOMPARE(settings->baudRate, baud);
        QCOMPARE(int(settings->parity), parity);
        QCOMPARE(int(settings->dataBits), data);
        QCOMPARE(int(settings->stopBits), stop);
        QCOMPARE(LineTimeUs(5, *settings), commandUs);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* bad : {"", "57600", "57600,N,8", "57600,N,8,1,1", "57600,X,8,1", "57600,N,9,1",
                                "57600,N,4,1", "57600,N,8,3", "57600,N,8,0", "0,N,8,1", "-9600,N,8,1",
                                "fast,N,8,1", "9600.5,N,8,1", "57600;N;8;1", "57600,NN,8,1"})
            QTest::newRow(bad) << QString::fromLatin1(bad);
    }
    void refused()
    {
        QFETCH(QString, text);
        QVERIFY(!ParseLineSettings(text));
    }

    void portNumbers()
    {
        QCOMPARE(ParsePortNumber(QStringLiteral("3")), std::optional<qint16>(3));
        QCOMPARE(ParsePortNumber(QStringLiteral(" 3 ")), std::optional<qint16>(3));
        QCOMPARE(ParsePortNumber(QStringLiteral("2.5")), std::optional<qint16>(2)); // halves to even
        QCOMPARE(ParsePortNumber(QStringLiteral("3.5")), std::optional<qint16>(4));
        QCOMPARE(ParsePortNumber(QStringLiteral("4 (USB)")), std::optional<qint16>(4));
        QCOMPARE(ParsePortNumber(QStringLiteral("COM4")), std::optional<qint16>(0));
        QCOMPARE(ParsePortNumber(QStringLiteral("32767")), std::optional<qint16>(32767));
        QVERIFY(!ParsePortNumber(QStringLiteral("32768")));
        QVERIFY(!ParsePortNumber(QStringLiteral("99999999999999999999")));
        QVERIFY(!ParsePortNumber(QStringLiteral("-40000")));
    }

    void deviceNames()
    {
#ifdef Q_OS_WIN
        QCOMPARE(DeviceNameForPort(2, QString()), QStringLiteral("COM2"));
#else
        QCOMPARE(DeviceNameForPort(1, QString()), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(DeviceNameForPort(2, QString()), QStringLiteral("/dev/ttyS1"));
        QCOMPARE(DeviceNameForPort(2, QStringLiteral("/dev/ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(DeviceNameForPort(3, QStringLiteral("  /dev/serial/by-id/usb-FTDI ")),
                 QStringLiteral("/dev/serial/by-id/usb-FTDI"));
#endif
        QVERIFY(DeviceNameForPort(0, QString()).isEmpty());
        QVERIFY(DeviceNameForPort(-3, QStringLiteral("/dev/ttyUSB0")).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestLineSettings)
#include "test_line_settings.moc"
