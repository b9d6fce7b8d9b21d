#include "qt_serial_port.h"

#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

// A descriptor on Unix, a HANDLE on Windows (QSerialPort::Handle is private).
using PortHandle = decltype(std::declval<const QSerialPort&>().handle());

// True when the device behind `handle` has hung up or failed, rather than
// just having nothing to read. On Windows every read error counts as a
// failed device.
bool deviceHungUp([[maybe_unused]] PortHandle handle)
{
#ifdef Q_OS_UNIX
    pollfd p{handle, POLLIN, 0};
    return ::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    return true;
#endif
}

} // namespace

QtSerialPort::QtSerialPort(QObject* parent)
    : SerialPort(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&port_, &QSerialPort::bytesWritten, this, [this] { emit bytesWritten(); });
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::handleError);
}

bool QtSerialPort::open(const QString& deviceName, const LineSettings& settings)
{
    if (port_.isOpen())
        port_.close();
    if (deviceName.isEmpty())
        return false;
    port_.setPortName(deviceName);
    port_.setBaudRate(settings.baudRate);
    port_.setParity(settings.parity);
    port_.setDataBits(settings.dataBits);
    port_.setStopBits(settings.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite))
        return false;
    // Some drivers accept the open but refuse a rate or framing; check it took.
    if (port_.baudRate() != settings.baudRate || port_.dataBits() != settings.dataBits
        || port_.parity() != settings.parity || port_.stopBits() != settings.stopBits) {
        port_.close();
        return false;
    }
    port_.clearError();
    return true;
}

void QtSerialPort::close()
{
    if (port_.isOpen())
        port_.close();
}

bool QtSerialPort::isOpen() const { return port_.isOpen(); }

void QtSerialPort::write(const QByteArray& bytes)
{
    if (port_.isOpen())
        port_.write(bytes);
}

void QtSerialPort::flush()
{
    if (port_.isOpen())
        port_.flush();
}

qint64 QtSerialPort::bytesToWrite() const { return port_.isOpen() ? port_.bytesToWrite() : 0; }

qint64 QtSerialPort::driverBytesToWrite() const
{
#if defined(Q_OS_UNIX) && defined(TIOCOUTQ)
    int queued = 0;
    if (port_.isOpen() && ::ioctl(int(port_.handle()), TIOCOUTQ, &queued) == 0 && queued > 0)
        return queued;
#endif
    return 0;
}

qint64 QtSerialPort::bytesAvailable() const { return port_.isOpen() ? port_.bytesAvailable() : 0; }

QByteArray QtSerialPort::read(qint64 maxBytes) { return port_.isOpen() ? port_.read(maxBytes) : QByteArray(); }

void QtSerialPort::discardInput()
{
    if (!port_.isOpen())
        return;
    port_.readAll(); // bytes already in Qt's buffer
    port_.clear(QSerialPort::Input);
}

void QtSerialPort::handleError(QSerialPort::SerialPortError error)
{
    // open() itself reports NoError; errors while closed belong to a failed
    // open, which open() already reports by its result.
    if (error == QSerialPort::NoError || !port_.isOpen())
        return;
    // Input flushed between a read notification and its read leaves the read
    // with nothing: Qt reports a ReadError, or for EAGAIN a ResourceError,
    // and then stops watching for input. The line is fine: the error is
    // cleared and a read of Qt's empty buffer makes it watch again.
    if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && !deviceHungUp(port_.handle())) {
        port_.clearError();
        char byte = 0;
        port_.peek(&byte, 1);
        return;
    }
    // A device that went away keeps raising ReadError in a tight loop while
    // it stays open: close at the first error so the program stays quiet.
    const QString reason = port_.errorString();
    port_.close();
    port_.clearError();
    emit failed(reason);
}
