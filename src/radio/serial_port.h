#pragma once
// The radio link's view of a serial device. The program uses QtSerialPort;
// unit tests use a scripted fake.

#include "line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Closes first when open. False (port stays closed) when the device is
    // missing, busy, or refuses the line settings.
    virtual bool open(const QString& deviceName, const LineSettings& settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual void write(const QByteArray& bytes) = 0;
    // Hands what the program's own buffer holds to the driver now, without
    // blocking (before a close, whose driver then sends it out).
    virtual void flush() {}
    // Bytes still in the program's own write buffer.
    virtual qint64 bytesToWrite() const = 0;
    // Bytes the driver has taken but not yet put on the wire (TIOCOUTQ);
    // 0 where it cannot tell. A pty always says 0, and a USB adapter's own
    // FIFO is never counted, so this only ever adds to the computed line time.
    virtual qint64 driverBytesToWrite() const { return 0; }
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Drops every received byte still waiting; harmless on a closed port.
    virtual void discardInput() = 0;

signals:
    void readyRead();
    void bytesWritten();
    // The open device failed (unplugged, hung up, I/O error). The port has
    // already closed itself when this is emitted.
    void failed(const QString& reason);
};
