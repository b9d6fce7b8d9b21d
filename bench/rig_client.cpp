#include "rig_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

RigClient::~RigClient() { close(); }

bool RigClient::connectTo(int port, int timeoutMs)
{
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0)
        return false;
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const sockaddr_in address = Loopback(port);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close();
        return false;
    }
    return true;
}

void RigClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

bool RigClient::readLine(std::string& line)
{
    for (;;) {
        const size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            line = buffer_.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            buffer_.erase(0, end + 1);
            return true;
        }
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false; // closed, or the time-out passed
        buffer_.append(chunk, size_t(n));
    }
}

std::optional<RigClient::Reply> RigClient::ask(const std::string& request, int lines)
{
    if (fd_ < 0)
        return std::nullopt;
    const std::string wire = request + '\n';
    const auto start = std::chrono::steady_clock::now();
    if (::send(fd_, wire.data(), wire.size(), MSG_NOSIGNAL) != ssize_t(wire.size())) {
        close();
        return std::nullopt;
    }
    Reply reply;
    for (int i = 0; i < lines; ++i) {
        std::string line;
        if (!readLine(line)) {
            close();
            return std::nullopt;
        }
        if (i == 0)
            reply.first = line;
        if (line.rfind("RPRT", 0) == 0) {
            reply.error = line != "RPRT 0";
            break;
        }
    }
    reply.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return reply;
}

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}
