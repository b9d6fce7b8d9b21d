#pragma once
// The serial port over QSerialPort. On Unix, QSerialPort opens, configures
// and closes the device, and this class reads and writes its descriptor
// itself: QSerialPort would wake the program for every byte that arrives
// and read it on its own, where the link reads a whole reply once. Where Qt's
// own reader cannot be switched off (and on Windows), QSerialPort does it all.

#include "serial_port.h"

#include <QSerialPort>

#include <array>

class QSocketNotifier;

class QtSerialPort final : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    bool open(const QString& deviceName, const LineSettings& settings) override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    void flush() override;
    qint64 bytesToWrite() const override;
    qint64 driverBytesToWrite() const override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxBytes) override;
    qint64 readInto(char* data, qint64 maxBytes) override;
    void discardInput() override;
    void setInputWatched(bool watched) override;
    void fetchInput() override;

private:
    void handleError(QSerialPort::SerialPortError error);
    // Unix: switches Qt's reader off and takes the descriptor; false (Qt
    // keeps it) when Qt's reader is not where it is expected.
    bool takeDescriptor();
    void releaseDescriptor();
    void onReadable();
    // What the driver took of `data`: 0 when it took nothing now, -1 when
    // the port failed (and closed).
    qint64 writeSome(const char* data, qint64 size);
    void watchWritable();
    void onWritable();
    void fail(const QString& reason);

    QSerialPort port_;
    int fd_ = -1; // the descriptor this class reads and writes; -1: QSerialPort does
    QSocketNotifier* reader_ = nullptr;
    QSocketNotifier* writer_ = nullptr;
    bool watched_ = true;
    // Received bytes taken from the driver. Far more than any reply: what
    // overflows it is line noise, and the oldest goes.
    std::array<char, 512> in_{};
    qint64 inCount_ = 0;
    QByteArray out_; // what the driver did not take at once
};
