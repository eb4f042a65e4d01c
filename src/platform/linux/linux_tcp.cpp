// The socket calls of a TCP line on Linux: a connection made without
// blocking and bounded with poll(), then non-blocking sends and receives.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/linux/linux_parts.h"

namespace plclink::linux_platform {
namespace {

std::uint64_t NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u;
}

TcpOpenResult ResultOfErrno(int error) {
    switch (error) {
        case ECONNREFUSED: return TcpOpenResult::kRefused;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
        case EHOSTDOWN: return TcpOpenResult::kNoRoute;
        case ETIMEDOUT: return TcpOpenResult::kNoAnswer;
        default: return TcpOpenResult::kFailed;
    }
}

// Waits until `fd` is ready for `events` or `end` has passed: 1, 0, -1.
int WaitFor(int fd, short events, std::uint64_t end) {
    for (;;) {
        const std::uint64_t now = NowMs();
        const int waitMs = now >= end ? 0 : static_cast<int>(end - now);
        pollfd p{fd, events, 0};
        const int r = poll(&p, 1, waitMs);
        if (r > 0) return 1;
        if (r < 0 && errno != EINTR) return -1;
        if (r == 0 && NowMs() >= end) return 0;
    }
}

// One address of the server: connected, or why not.
TcpOpenResult ConnectTo(const addrinfo& address, std::uint64_t end, int* fdOut) {
    const int fd = socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address.ai_protocol);
    if (fd < 0) return TcpOpenResult::kFailed;
    TcpOpenResult result = TcpOpenResult::kConnected;
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            result = ResultOfErrno(errno);
        } else {
            const int ready = WaitFor(fd, POLLOUT, end);
            int error = 0;
            socklen_t length = sizeof error;
            if (ready == 0) {
                result = TcpOpenResult::kNoAnswer;
            } else if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                result = TcpOpenResult::kFailed;
            } else if (error != 0) {
                result = ResultOfErrno(error);
            }
        }
    }
    if (result != TcpOpenResult::kConnected) {
        close(fd);
        return result;
    }
    const int on = 1;
    (void)setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    *fdOut = fd;
    return result;
}

// Every address the name gives is tried within the one time allowed; the
// reason of the first refusal or missing route wins over a later silence.
TcpOpenResult Connect(const char* host, std::uint16_t port, std::uint32_t timeoutMs,
                      SocketId* socketOut) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host, service, &hints, &found);
    if (rc != 0) {
        return rc == EAI_SYSTEM || rc == EAI_MEMORY ? TcpOpenResult::kFailed
                                                    : TcpOpenResult::kNameNotFound;
    }
    const std::uint64_t end = NowMs() + timeoutMs;
    TcpOpenResult result = TcpOpenResult::kFailed;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        int fd = -1;
        const TcpOpenResult tried = ConnectTo(*a, end, &fd);
        if (tried == TcpOpenResult::kConnected) {
            *socketOut = fd;
            result = tried;
            break;
        }
        if (result == TcpOpenResult::kFailed || result == TcpOpenResult::kNoAnswer) result = tried;
        if (NowMs() >= end) break;
    }
    freeaddrinfo(found);
    return result;
}

void Close(SocketId socket) { close(static_cast<int>(socket)); }

int WaitReadable(SocketId socket, std::uint32_t ms) {
    return WaitFor(static_cast<int>(socket), POLLIN, NowMs() + ms);
}

long Receive(SocketId socket, void* buffer, std::uint32_t length) {
    for (;;) {
        const ssize_t n = recv(static_cast<int>(socket), buffer, length, 0);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) return -1;
    }
}

// A server that stops taking bytes holds the write no longer than a silent
// one holds a read: a minute without room fails the connection.
constexpr std::uint64_t kSendStallMs = 60000;

bool SendAll(SocketId socket, const void* buffer, std::uint32_t length) {
    const int fd = static_cast<int>(socket);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::uint32_t sent = 0;
    while (sent < length) {
        const ssize_t n = send(fd, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::uint32_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd, POLLOUT, NowMs() + kSendStallMs) != 1) return false;
        } else {
            return false;
        }
    }
    return true;
}

// What waits to be read; a connection the server closed (readable, with
// nothing to take) or that failed gives -1.
long BytesWaiting(SocketId socket) {
    const int fd = static_cast<int>(socket);
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) return -1;
    if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return -1;
    if ((p.revents & POLLIN) == 0) return 0;
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) return -1;
    if (waiting > 0) return waiting;
    char probe;
    const ssize_t n = recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 ? 1 : -1;
}

constexpr SocketCalls kLinuxSockets{Connect, Close, WaitReadable, Receive, SendAll, BytesWaiting};

}  // namespace

const SocketCalls& LinuxSockets() { return kLinuxSockets; }

}  // namespace plclink::linux_platform
