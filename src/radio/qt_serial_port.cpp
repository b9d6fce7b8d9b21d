#include "qt_serial_port.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
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

QtSerialPort::~QtSerialPort() { releaseDescriptor(); }

bool QtSerialPort::open(const QString& deviceName, const LineSettings& settings)
{
    close();
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
    takeDescriptor();
    return true;
}

bool QtSerialPort::takeDescriptor()
{
#ifdef Q_OS_UNIX
    // QSerialPort reads through a read notifier of its own, made at open; one
    // of an earlier open may still wait for its deletion, on the same number.
    const int fd = int(port_.handle());
    bool found = false;
    for (QSocketNotifier* n : port_.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
        if (n->type() != QSocketNotifier::Read || n->socket() != fd)
            continue;
        found |= n->isEnabled();
        n->setEnabled(false);
    }
    if (!found)
        return false;
    fd_ = fd;
    inCount_ = 0;
    reader_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    reader_->setEnabled(watched_);
    connect(reader_, &QSocketNotifier::activated, this, &QtSerialPort::onReadable);
    return true;
#else
    return false;
#endif
}

void QtSerialPort::releaseDescriptor()
{
    // Later: this may run inside one of their signals.
    for (QSocketNotifier* n : {reader_, writer_}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    reader_ = writer_ = nullptr;
    fd_ = -1;
    inCount_ = 0;
    out_.clear();
}

void QtSerialPort::close()
{
    releaseDescriptor();
    if (port_.isOpen())
        port_.close();
}

bool QtSerialPort::isOpen() const { return port_.isOpen(); }

void QtSerialPort::write(const QByteArray& bytes)
{
    if (!port_.isOpen())
        return;
    if (fd_ < 0) {
        port_.write(bytes);
        return;
    }
    // Behind bytes still waiting, in order; else straight to the driver,
    // which takes a command's few bytes at once.
    if (!out_.isEmpty()) {
        out_.append(bytes);
        return;
    }
    const qint64 taken = writeSome(bytes.constData(), bytes.size());
    if (taken >= 0 && taken < bytes.size()) {
        out_ = bytes.mid(qsizetype(taken));
        watchWritable();
    }
}

qint64 QtSerialPort::writeSome([[maybe_unused]] const char* data, [[maybe_unused]] qint64 size)
{
#ifdef Q_OS_UNIX
    const ssize_t n = ::write(fd_, data, size_t(size));
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    fail(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    return -1;
}

void QtSerialPort::watchWritable()
{
    if (!writer_) {
        writer_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
        connect(writer_, &QSocketNotifier::activated, this, &QtSerialPort::onWritable);
    }
    writer_->setEnabled(true);
}

void QtSerialPort::onWritable()
{
    const qint64 taken = writeSome(out_.constData(), out_.size());
    if (taken < 0)
        return; // failed and closed
    out_.remove(0, qsizetype(taken));
    if (!out_.isEmpty())
        return;
    writer_->setEnabled(false);
    emit bytesWritten();
}

void QtSerialPort::flush()
{
    if (!port_.isOpen())
        return;
    if (fd_ < 0)
        port_.flush();
    else if (!out_.isEmpty())
        onWritable();
}

qint64 QtSerialPort::bytesToWrite() const
{
    if (!port_.isOpen())
        return 0;
    return fd_ < 0 ? port_.bytesToWrite() : out_.size();
}

qint64 QtSerialPort::driverBytesToWrite() const
{
#if defined(Q_OS_UNIX) && defined(TIOCOUTQ)
    int queued = 0;
    if (port_.isOpen() && ::ioctl(int(port_.handle()), TIOCOUTQ, &queued) == 0 && queued > 0)
        return queued;
#endif
    return 0;
}

qint64 QtSerialPort::bytesAvailable() const
{
    if (!port_.isOpen())
        return 0;
    return fd_ < 0 ? port_.bytesAvailable() : inCount_;
}

QByteArray QtSerialPort::read(qint64 maxBytes)
{
    if (!port_.isOpen())
        return QByteArray();
    if (fd_ < 0)
        return port_.read(maxBytes);
    QByteArray bytes(qsizetype(std::clamp<qint64>(maxBytes, 0, inCount_)), Qt::Uninitialized);
    readInto(bytes.data(), bytes.size());
    return bytes;
}

qint64 QtSerialPort::readInto(char* data, qint64 maxBytes)
{
    if (fd_ < 0)
        return SerialPort::readInto(data, maxBytes);
    const qint64 n = std::clamp<qint64>(maxBytes, 0, inCount_);
    std::memcpy(data, in_.data(), size_t(n));
    std::memmove(in_.data(), in_.data() + n, size_t(inCount_ - n));
    inCount_ -= n;
    return n;
}

void QtSerialPort::discardInput()
{
    if (!port_.isOpen())
        return;
    if (fd_ < 0) {
        port_.readAll(); // bytes already in Qt's buffer
        port_.clear(QSerialPort::Input);
        return;
    }
    inCount_ = 0;
#ifdef Q_OS_UNIX
    // Should the reader have been told of bytes this drops, its read finds
    // none, which onReadable() takes calmly.
    ::tcflush(fd_, TCIFLUSH);
#endif
}

void QtSerialPort::setInputWatched(bool watched)
{
    watched_ = watched;
    if (reader_)
        reader_->setEnabled(watched);
}

void QtSerialPort::fetchInput()
{
#ifdef Q_OS_UNIX
    if (fd_ < 0)
        return;
    if (inCount_ == qint64(in_.size()))
        inCount_ = 0; // nobody reads this much: noise
    const ssize_t n = ::read(fd_, in_.data() + inCount_, size_t(qint64(in_.size()) - inCount_));
    if (n > 0) {
        inCount_ += n;
        return;
    }
    // Nothing there is harmless: an empty line (a raw tty reads 0 bytes
    // then), or input flushed after the reader was told of it. A device
    // that hung up stays readable, so it closes now.
    const int error = n < 0 ? errno : 0;
    if (error != EAGAIN && error != EWOULDBLOCK && error != EINTR && deviceHungUp(fd_))
        fail(error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("The device hung up."));
#endif
}

void QtSerialPort::onReadable()
{
    const qint64 before = inCount_;
    fetchInput();
    if (fd_ >= 0 && inCount_ != before)
        emit readyRead();
}

void QtSerialPort::fail(const QString& reason)
{
    close();
    emit failed(reason);
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
    // cleared and a read of Qt's empty buffer makes it watch again (only
    // while Qt reads the port: where this class reads it, Qt must not).
    if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && !deviceHungUp(port_.handle())) {
        port_.clearError();
        if (fd_ < 0) {
            char byte = 0;
            port_.peek(&byte, 1);
        }
        return;
    }
    // A device that went away keeps raising ReadError in a tight loop while
    // it stays open: close at the first error so the program stays quiet.
    const QString reason = port_.errorString();
    close();
    port_.clearError();
    emit failed(reason);
}
