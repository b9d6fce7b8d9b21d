#include "link_watch.h"

#include "listen_address.h"

#if defined(Q_OS_WIN)
#include <winsock2.h>
#include <mstcpip.h>
#elif defined(Q_OS_UNIX)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

// Probes after 2 s of quiet, every 2 s, and 3 unanswered end it: 8 s. Data
// left unacknowledged ends it after 8 s too, which keepalive alone misses.
constexpr int kIdleSeconds = 2;
constexpr int kIntervalSeconds = 2;
constexpr int kProbes = 3;
constexpr int kUnacknowledgedMs = 8000;
static_assert(kIdleSeconds + kIntervalSeconds * kProbes <= kDeadLinkSeconds);
static_assert(kUnacknowledgedMs <= kDeadLinkSeconds * 1000);
#if defined(Q_OS_WIN)
constexpr ULONG kWindowsProbeIntervalMs = 700;
static_assert(kIdleSeconds * 1000 + 10 * kWindowsProbeIntervalMs <= kDeadLinkSeconds * 1000);
// TCP_MAXRT from Windows' ws2ipdef.h, which MinGW's headers lack.
constexpr int kTcpMaxRt = 5;
#endif

} // namespace

bool WatchesLink(const QHostAddress& peer) { return !Unmapped(peer).isLoopback(); }

bool WatchLink(qintptr socketDescriptor)
{
    bool ok = true;
#if defined(Q_OS_WIN)
    const auto s = SOCKET(socketDescriptor);
    // Windows sends ten probes, a number that cannot be set: they come
    // closer together to end within the same time.
    tcp_keepalive keepalive{1, kIdleSeconds * 1000, kWindowsProbeIntervalMs};
    DWORD returned = 0;
    ok = WSAIoctl(s, SIO_KEEPALIVE_VALS, &keepalive, sizeof keepalive, nullptr, 0, &returned, nullptr, nullptr) == 0;
    const DWORD maxRetransmitSeconds = kUnacknowledgedMs / 1000; // Windows' counterpart of TCP_USER_TIMEOUT
    ok = setsockopt(s, IPPROTO_TCP, kTcpMaxRt, reinterpret_cast<const char*>(&maxRetransmitSeconds),
                    sizeof maxRetransmitSeconds) == 0 && ok;
#elif defined(Q_OS_UNIX)
    const int fd = int(socketDescriptor);
    const auto set = [&](int level, int name, int value) {
        ok = ::setsockopt(fd, level, name, &value, sizeof value) == 0 && ok;
    };
    set(SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
    set(IPPROTO_TCP, TCP_KEEPIDLE, kIdleSeconds);
    set(IPPROTO_TCP, TCP_KEEPINTVL, kIntervalSeconds);
    set(IPPROTO_TCP, TCP_KEEPCNT, kProbes);
#endif
#ifdef TCP_USER_TIMEOUT
    set(IPPROTO_TCP, TCP_USER_TIMEOUT, kUnacknowledgedMs);
#endif
#else
    Q_UNUSED(socketDescriptor);
    ok = false;
#endif
    return ok;
}
