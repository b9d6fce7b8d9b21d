#include "pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
bool Fail(Pty& pty, std::string& error, const char* what)
{
    error = std::string(what) + ": " + std::strerror(errno);
    ClosePty(pty);
    return false;
}
}

bool OpenPty(Pty& pty, std::string& error)
{
    pty.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.master < 0)
        return Fail(pty, error, "posix_openpt");
    if (grantpt(pty.master) != 0)
        return Fail(pty, error, "grantpt");
    if (unlockpt(pty.master) != 0)
        return Fail(pty, error, "unlockpt");
    const char* name = ptsname(pty.master);
    if (!name)
        return Fail(pty, error, "ptsname");
    pty.path = name;

    pty.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave < 0)
        return Fail(pty, error, "open slave");
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0)
        return Fail(pty, error, "tcgetattr");
    cfmakeraw(&tio);
    if (tcsetattr(pty.slave, TCSANOW, &tio) != 0)
        return Fail(pty, error, "tcsetattr");

    const int flags = fcntl(pty.master, F_GETFL);
    if (flags < 0 || fcntl(pty.master, F_SETFL, flags | O_NONBLOCK) != 0)
        return Fail(pty, error, "fcntl");
    fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    return true;
}

void ClosePty(Pty& pty)
{
    if (pty.slave >= 0)
        close(pty.slave);
    if (pty.master >= 0)
        close(pty.master);
    pty.slave = pty.master = -1;
}
