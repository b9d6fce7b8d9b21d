#pragma once
// The simulator's tests talk to its pty as a plain POSIX serial client would.

#include "sim_process.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace simtest {

using Bytes = QByteArray;

inline Bytes Cmd(int p1, int p2, int p3, int p4, int op)
{
    const char bytes[] = {char(p1), char(p2), char(p3), char(p4), char(op)};
    return Bytes(bytes, 5);
}
const Bytes ReadFreqMode = Cmd(0, 0, 0, 0, 0x03);
const Bytes ReadStatus = Cmd(0, 0, 0, 0, 0xE7);

// The client end of the pty, as a serial program would hold it.
class Client {
public:
    ~Client() { close(); }
    bool open(const QString& device)
    {
        close();
        fd_ = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return false;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        return tcsetattr(fd_, TCSANOW, &tio) == 0;
    }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool write(const Bytes& bytes) { return ::write(fd_, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
    // Reads until `n` bytes are in or `timeoutMs` passes, and never more than
    // `n`: what follows stays for the next read, however late this one runs.
    Bytes read(int n, int timeoutMs = 1000)
    {
        Bytes got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < n) {
            const int left = timeoutMs - int(clock.elapsed());
            if (left <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0 || !(p.revents & POLLIN))
                break;
            char buffer[64];
            const ssize_t r = ::read(fd_, buffer, std::min(sizeof buffer, size_t(n - got.size())));
            if (r <= 0)
                break;
            got.append(buffer, r);
        }
        return got;
    }
    // Sends a command and collects what comes back until the line has been
    // quiet for `quietMs`.
    Bytes exchange(const Bytes& command, int quietMs = 100)
    {
        write(command);
        Bytes got;
        for (Bytes more = read(1, quietMs); !more.isEmpty(); more = read(1, quietMs))
            got += more;
        return got;
    }

private:
    int fd_ = -1;
};

struct Rig {
    SimProcess sim;
    Client client;
    bool start(const QStringList& args = {}) { return sim.start(args) && client.open(sim.device()); }
};

} // namespace simtest
