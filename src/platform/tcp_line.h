// A line that is a TCP connection to a serial device server (a serial-to-
// Ethernet converter in raw TCP server mode). The converter carries the
// bytes to and from its serial port; its line settings are its own. The
// socket calls come from the OS (SocketCalls); the rest is the same on every
// OS: the port's read time-outs, the connection lost and made again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/line_backend.h"

namespace plclink {

using SocketId = std::intptr_t;

// The socket calls of one OS.
struct SocketCalls {
    // Connects to `host` at `port` within `timeoutMs`, the socket set to
    // send each write at once (TCP_NODELAY).
    TcpOpenResult (*connect)(const char* host, std::uint16_t port, std::uint32_t timeoutMs,
                             SocketId* socketOut);
    void (*close)(SocketId socket);
    // Waits at most `ms` for bytes or the server's close: 1 ready, 0 not
    // within `ms`, -1 failed.
    int (*waitReadable)(SocketId socket, std::uint32_t ms);
    // Takes what has arrived, at most `length`, without waiting: the count,
    // 0 when the server closed the connection, -1 when it failed or nothing
    // is there.
    long (*receive)(SocketId socket, void* buffer, std::uint32_t length);
    // Hands every byte to the connection: false when it failed.
    bool (*sendAll)(SocketId socket, const void* buffer, std::uint32_t length);
    // Bytes that have arrived and wait to be taken; -1 when the connection
    // failed or the server closed it.
    long (*bytesWaiting)(SocketId socket);
};

// The platform's open operation and backend for TCP lines over `calls`.
OpenTcpFn TcpLineOpener(const SocketCalls& calls);
const LineBackend& TcpLineBackend();

// "connection refused", "no route", "name not found", "no answer within N
// ms": what became of a connection attempt, for a log line.
void DescribeTcpOpenResult(TcpOpenResult result, std::uint32_t timeoutMs, char* text,
                           std::size_t room);

// "host:port", the host in brackets when it is an IPv6 address.
void FormatTcpAddress(const char* host, std::uint16_t port, char* text, std::size_t room);

}  // namespace plclink
