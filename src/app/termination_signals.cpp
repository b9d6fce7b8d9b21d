#include "termination_signals.h"

#include <QObject>

// Windows' side is in termination_signals_win.cpp.
#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSocket[2] = {-1, -1};

// Only async-signal-safe work here: one byte to the event loop. errno is
// put back, as the interrupted code may be about to read it.
void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(signalSocket[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

void CloseOnTerminationSignals(QObject* owner, StartShutdown shutdown)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSocket) != 0)
        return;
    for (int fd : signalSocket) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    auto* notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [shutdown = std::move(shutdown)] {
        char buffer[16];
        while (::read(signalSocket[1], buffer, sizeof buffer) > 0) {
        }
        // Nothing waits here: the process ends when the shutdown has run.
        shutdown([] {});
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

#elif !defined(Q_OS_WIN)

void CloseOnTerminationSignals(QObject*, StartShutdown) {}

#endif
