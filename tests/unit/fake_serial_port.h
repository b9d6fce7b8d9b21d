#pragma once
// A scripted serial port for unit tests: records what is written, and
// delivers whatever the test feeds it as received bytes. By default it
// signals every arrival, as a port that cannot stop watching does; with
// `honoursWatch`, bytes that arrive unwatched wait in `unfetched` until the
// link fetches them.

#include "serial_port.h"
#include "counting_messages.h"

#include <QList>
#include <QMetaObject>

class FakeSerialPort final : public SerialPort {
    Q_OBJECT
public:
    bool openResult = true;
    QString openedDevice;
    LineSettings openedSettings;
    QList<QByteArray> written;
    QByteArray input;
    int discards = 0;
    qint64 pendingWrite = 0; // bytes "still on the way" after a write
    qint64 driverQueued = 0; // bytes the driver says it still holds
    int writesAtClose = -1;  // how many writes there were when it last closed
    int writesAtOpen = -1;   // and when it last opened
    bool honoursWatch = false;
    bool watched = true;
    QByteArray unfetched; // still in the driver
    int fetches = 0;
    int signalled = 0; // readyRead emitted

    bool open(const QString& deviceName, const LineSettings& settings) override
    {
        open_ = false;
        if (!openResult)
            return false;
        openedDevice = deviceName;
        openedSettings = settings;
        open_ = true;
        writesAtOpen = int(written.size());
        return true;
    }
    void close() override
    {
        if (open_)
            writesAtClose = int(written.size());
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    void write(const QByteArray& bytes) override
    {
        written.append(bytes);
        if (pendingWrite == 0)
            QMetaObject::invokeMethod(this, [this] { emit bytesWritten(); }, Qt::QueuedConnection);
    }
    qint64 bytesToWrite() const override { return pendingWrite; }
    qint64 driverBytesToWrite() const override { return driverQueued; }
    qint64 bytesAvailable() const override { return input.size(); }
    QByteArray read(qint64 maxBytes) override
    {
        const QByteArray part = input.left(maxBytes);
        input.remove(0, part.size());
        return part;
    }
    void discardInput() override
    {
        ++discards;
        input.clear();
        unfetched.clear();
    }
    void setInputWatched(bool on) override
    {
        watched = on;
        // Watched again with bytes waiting: the driver reports them.
        if (on && honoursWatch && !unfetched.isEmpty())
            QMetaObject::invokeMethod(this, [this] { receive(QByteArray()); }, Qt::QueuedConnection);
    }
    void fetchInput() override
    {
        ++fetches;
        input += unfetched;
        unfetched.clear();
    }

    void receive(const QByteArray& bytes)
    {
        unfetched += bytes;
        if (honoursWatch && !watched)
            return;
        input += unfetched;
        unfetched.clear();
        ++signalled;
        emit readyRead();
    }
    void finishWriting()
    {
        pendingWrite = 0;
        emit bytesWritten();
    }
    void fail()
    {
        open_ = false;
        emit failed(QStringLiteral("device removed"));
    }
    QStringList writtenHex() const
    {
        QStringList out;
        for (const QByteArray& w : written)
            out << QString::fromLatin1(w.toHex(' ')).toUpper();
        return out;
    }

private:
    bool open_ = false;
};

