#pragma once
// The radio link's view of a serial device. The program uses QtSerialPort;
// unit tests use a scripted fake.

#include "line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <algorithm>

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

    // Hands the bytes to the driver; bytesWritten follows for bytes it could
    // not take at once.
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
    // Received bytes ready to read: those the port has taken from the driver.
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    // As read(), into `data`: no buffer made for the caller.
    virtual qint64 readInto(char* data, qint64 maxBytes)
    {
        const QByteArray bytes = read(maxBytes);
        std::copy(bytes.begin(), bytes.end(), data);
        return bytes.size();
    }
    // Drops every received byte still waiting; harmless on a closed port.
    virtual void discardInput() = 0;

    // Whether each arrival of bytes wakes the program with readyRead (so by
    // default). Unwatched, bytes wait in the driver, waking nobody, until
    // fetchInput(): the link reads a reply once, at the end of its line time.
    // A port that cannot stop watching keeps signalling.
    virtual void setInputWatched(bool watched) { Q_UNUSED(watched); }
    // Takes what the driver holds now, so that bytesAvailable() counts it.
    virtual void fetchInput() {}

signals:
    void readyRead();
    void bytesWritten();
    // The open device failed (unplugged, hung up, I/O error). The port has
    // already closed itself when this is emitted.
    void failed(const QString& reason);
};
