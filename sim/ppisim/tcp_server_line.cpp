#include "ppisim/tcp_server_line.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ppisim {
namespace {

constexpr const char* kDefaultHost = "127.0.0.1";

// Splits "[HOST:]PORT"; false when PORT is not 0..65535.
bool SplitWhere(const std::string& where, std::string* host, std::string* port) {
    const std::size_t colon = where.rfind(':');
    *host = colon == std::string::npos ? kDefaultHost : where.substr(0, colon);
    *port = colon == std::string::npos ? where : where.substr(colon + 1);
    if (host->size() >= 2 && host->front() == '[' && host->back() == ']')
        *host = host->substr(1, host->size() - 2);
    if (port->empty() || port->size() > 5 || port->find_first_not_of("0123456789") != std::string::npos)
        return false;
    return std::stoul(*port) <= 65535 && !host->empty();
}

// HOST:PORT of an IPv4 address, [HOST]:PORT of an IPv6 one.
std::string AddressText(const sockaddr_storage& address) {
    char host[INET6_ADDRSTRLEN] = "?";
    unsigned port = 0;
    if (address.ss_family == AF_INET6) {
        const auto& a6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &a6.sin6_addr, host, sizeof host);
        port = ntohs(a6.sin6_port);
        std::string where = "[";
        where.append(host).append("]:").append(std::to_string(port));
        return where;
    }
    const auto& a4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &a4.sin_addr, host, sizeof host);
    port = ntohs(a4.sin_port);
    return std::string(host) + ":" + std::to_string(port);
}

// The address a socket is bound to.
std::string WhereOf(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "?";
    return AddressText(address);
}

}  // namespace

std::unique_ptr<TcpServerLine> TcpServerLine::Listen(const std::string& where, std::string* error) {
    std::string host, port;
    if (!SplitWhere(where, &host, &port)) {
        *error = "--tcp " + where + ": expected [HOST:]PORT";
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        *error = "--tcp " + where + ": " + gai_strerror(rc);
        return nullptr;
    }
    int fd = -1;
    int lastError = 0;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 4) != 0) {
            lastError = errno;
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) {
        *error = "--tcp " + where + ": " + std::strerror(lastError);
        return nullptr;
    }
    return std::unique_ptr<TcpServerLine>(new TcpServerLine(fd, WhereOf(fd)));
}

TcpServerLine::~TcpServerLine() {
    hangUp();
    close(listener_);
}

long TcpServerLine::readAvailable(std::span<std::uint8_t> buffer) {
    if (client_ < 0) {
        client_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client_ >= 0) {
            const int on = 1;
            setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        return 0;
    }
    const ssize_t n = recv(client_, buffer.data(), buffer.size(), 0);
    if (n > 0) return static_cast<long>(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    hangUp();  // the master went away; the next one may come
    return 0;
}

bool TcpServerLine::writeAll(std::span<const std::uint8_t> bytes, int timeoutMs) {
    return client_ >= 0 && WriteAllWithin(client_, bytes, timeoutMs);
}

std::string TcpServerLine::refuseLatecomer() {
    // A master that has closed its end, though its close is not read yet,
    // no longer holds the line: the next one waits until it has been seen.
    std::uint8_t byte = 0;
    if (recv(client_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) return {};
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
    if (fd < 0) return {};
    close(fd);
    return "connection from " + AddressText(from) + " refused: the line is taken";
}

bool TcpServerLine::hangUp() {
    if (client_ < 0) return false;
    close(client_);
    client_ = -1;
    return true;
}

}  // namespace ppisim
