// The socket calls of a TCP line on Windows, through Winsock 2 as Windows XP
// SP3 has it (no WSAPoll, no inet_pton): a connection made without blocking
// and bounded with select(), then non-blocking sends and receives.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>

#include "platform/windows/windows_parts.h"

namespace plclink::windows_platform {
namespace {

// Winsock is started once, at the first connection, and stays started while
// the module is loaded.
bool WinsockStarted() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET SocketOf(SocketId socket) { return static_cast<SOCKET>(socket); }

TcpOpenResult ResultOfError(int error) {
    switch (error) {
        case WSAECONNREFUSED: return TcpOpenResult::kRefused;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN:
        case WSAEHOSTDOWN: return TcpOpenResult::kNoRoute;
        case WSAETIMEDOUT: return TcpOpenResult::kNoAnswer;
        default: return TcpOpenResult::kFailed;
    }
}

timeval TimevalOf(std::uint32_t ms) {
    timeval t;
    t.tv_sec = static_cast<long>(ms / 1000);
    t.tv_usec = static_cast<long>(ms % 1000) * 1000;
    return t;
}

// Waits at most `ms` until `socket` can be written (the connection is made)
// or has failed: 1 writable, 0 not within `ms`, -1 failed (with `error`).
int WaitConnected(SOCKET socket, std::uint32_t ms, int* error) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval wait = TimevalOf(ms);
    const int r = ::select(0, nullptr, &writable, &failed, &wait);
    if (r == 0) return 0;
    if (r == SOCKET_ERROR) {
        *error = ::WSAGetLastError();
        return -1;
    }
    if (FD_ISSET(socket, &failed)) {
        int code = 0;
        int length = sizeof code;
        ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length);
        *error = code;
        return -1;
    }
    return 1;
}

// One address of the server: connected, or why not.
TcpOpenResult ConnectTo(const addrinfo& address, std::uint32_t ms, SOCKET* socketOut) {
    const SOCKET s = ::socket(address.ai_family, SOCK_STREAM, address.ai_protocol);
    if (s == INVALID_SOCKET) return TcpOpenResult::kFailed;
    u_long nonBlocking = 1;
    TcpOpenResult result = TcpOpenResult::kConnected;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        result = TcpOpenResult::kFailed;
    } else if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            result = ResultOfError(error);
        } else {
            const int ready = WaitConnected(s, ms, &error);
            if (ready == 0) result = TcpOpenResult::kNoAnswer;
            if (ready < 0) result = ResultOfError(error);
        }
    }
    if (result != TcpOpenResult::kConnected) {
        ::closesocket(s);
        return result;
    }
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    *socketOut = s;
    return result;
}

// Every address the name gives is tried within the one time allowed; the
// reason of the first refusal or missing route wins over a later silence.
TcpOpenResult Connect(const char* host, std::uint16_t port, std::uint32_t timeoutMs,
                      SocketId* socketOut) {
    if (!WinsockStarted()) return TcpOpenResult::kFailed;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host, service, &hints, &found);
    if (rc != 0) {
        return rc == WSA_NOT_ENOUGH_MEMORY || rc == WSANOTINITIALISED ? TcpOpenResult::kFailed
                                                                       : TcpOpenResult::kNameNotFound;
    }
    const DWORD start = ::GetTickCount();
    TcpOpenResult result = TcpOpenResult::kFailed;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= timeoutMs) break;
        SOCKET s = INVALID_SOCKET;
        const TcpOpenResult tried = ConnectTo(*a, timeoutMs - spent, &s);
        if (tried == TcpOpenResult::kConnected) {
            *socketOut = static_cast<SocketId>(s);
            result = tried;
            break;
        }
        if (result == TcpOpenResult::kFailed || result == TcpOpenResult::kNoAnswer) result = tried;
    }
    ::freeaddrinfo(found);
    return result;
}

void Close(SocketId socket) { ::closesocket(SocketOf(socket)); }

int WaitReadable(SocketId socket, std::uint32_t ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(SocketOf(socket), &readable);
    timeval wait = TimevalOf(ms);
    const int r = ::select(0, &readable, nullptr, nullptr, &wait);
    return r == SOCKET_ERROR ? -1 : (r > 0 ? 1 : 0);
}

long Receive(SocketId socket, void* buffer, std::uint32_t length) {
    const int n = ::recv(SocketOf(socket), static_cast<char*>(buffer), static_cast<int>(length), 0);
    return n == SOCKET_ERROR ? -1 : n;
}

// A server that stops taking bytes holds the write no longer than a silent
// one holds a read: a minute without room fails the connection.
constexpr std::uint32_t kSendStallMs = 60000;

bool SendAll(SocketId socket, const void* buffer, std::uint32_t length) {
    const SOCKET s = SocketOf(socket);
    const char* bytes = static_cast<const char*>(buffer);
    std::uint32_t sent = 0;
    while (sent < length) {
        const int n = ::send(s, bytes + sent, static_cast<int>(length - sent), 0);
        if (n > 0) {
            sent += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) return false;
        int error = 0;
        if (WaitConnected(s, kSendStallMs, &error) != 1) return false;
    }
    return true;
}

// What waits to be read; a connection the server closed (readable, with
// nothing to take) or that failed gives -1.
long BytesWaiting(SocketId socket) {
    const SOCKET s = SocketOf(socket);
    const int ready = WaitReadable(socket, 0);
    if (ready <= 0) return ready;
    u_long waiting = 0;
    if (::ioctlsocket(s, FIONREAD, &waiting) != 0) return -1;
    if (waiting > 0) return static_cast<long>(waiting);
    char probe;
    return ::recv(s, &probe, 1, MSG_PEEK) > 0 ? 1 : -1;
}

constexpr SocketCalls kWindowsSockets{Connect, Close, WaitReadable, Receive, SendAll, BytesWaiting};

}  // namespace

const SocketCalls& WindowsSockets() { return kWindowsSockets; }

}  // namespace plclink::windows_platform
