#pragma once
#include "serial_port.h"

#include <QSerialPort>

class QtSerialPort final : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);

    bool open(const QString& deviceName, const LineSettings& settings) override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    void flush() override;
    qint64 bytesToWrite() const override;
    qint64 driverBytesToWrite() const override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxBytes) override;
    void discardInput() override;

private:
    void handleError(QSerialPort::SerialPortError error);

    QSerialPort port_;
};
