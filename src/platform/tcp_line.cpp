#include "platform/tcp_line.h"

#include <cstdio>
#include <cstring>

#include "core/host_log.h"

namespace plclink {
namespace {

const SocketCalls* sockets = nullptr;

constexpr std::size_t kHostRoom = 256;
constexpr std::size_t kAddressRoom = kHostRoom + 8;
// A read without a time-out waits in steps of this.
constexpr std::uint64_t kLongestWaitMs = 60000;

// One open TCP line. Its address is the line handle. The line state is kept
// as the driver set it, so that what it reads back (the baud rate that
// bounds a read) is what it asked for.
struct TcpLine {
    char host[kHostRoom];
    std::uint16_t port;
    std::uint32_t connectMs;  // how long a connection attempt may wait
    char address[kAddressRoom];
    SocketId socket;
    bool connected;
    LineState state;
    LineTimeouts timeouts;
};

TcpLine* LineOf(LineHandle handle) { return reinterpret_cast<TcpLine*>(handle); }

std::uint64_t NowMs() { return NativePlatform().monotonicMs(); }

// The server closed the connection or it failed: the socket goes, and the
// next write connects again.
void LoseConnection(TcpLine& line, const char* why) {
    sockets->close(line.socket);
    line.connected = false;
    err(kLogCategory, "TCP %s: connection lost (%s)", line.address, why);
}

// Before a write: a connection lost since the last exchange is noticed now,
// and a lost one is made again, once.
bool EnsureConnected(TcpLine& line) {
    if (line.connected && sockets->bytesWaiting(line.socket) < 0)
        LoseConnection(line, "closed by the server");
    if (line.connected) return true;
    SocketId socket = 0;
    const TcpOpenResult result = sockets->connect(line.host, line.port, line.connectMs, &socket);
    if (result != TcpOpenResult::kConnected) {
        char why[64];
        DescribeTcpOpenResult(result, line.connectMs, why, sizeof why);
        err(kLogCategory, "TCP %s: connecting again failed: %s", line.address, why);
        return false;
    }
    line.socket = socket;
    line.connected = true;
    err(kLogCategory, "TCP %s: connected again", line.address);
    return true;
}

TcpOpenResult Open(const char* host, std::uint16_t port, std::uint32_t timeoutMs,
                   LineHandle* handleOut) {
    *handleOut = kNullLine;
    if (std::strlen(host) >= kHostRoom) return TcpOpenResult::kNameNotFound;
    SocketId socket = 0;
    const TcpOpenResult result = sockets->connect(host, port, timeoutMs, &socket);
    if (result != TcpOpenResult::kConnected) return result;
    auto* line = new TcpLine{};
    std::snprintf(line->host, sizeof line->host, "%s", host);
    line->port = port;
    line->connectMs = timeoutMs;
    FormatTcpAddress(host, port, line->address, sizeof line->address);
    line->socket = socket;
    line->connected = true;
    line->state.baudRate = 9600;
    line->state.byteSize = 8;
    line->state.parity = 2;
    line->timeouts = LineTimeouts{0, 0, 1000, 0, 0};
    *handleOut = reinterpret_cast<LineHandle>(line);
    return result;
}

bool Close(LineHandle handle) {
    TcpLine* line = LineOf(handle);
    if (line->connected) sockets->close(line->socket);
    delete line;
    return true;
}

bool GetLineState(LineHandle handle, LineState* state) {
    *state = LineOf(handle)->state;
    return true;
}

bool SetLineState(LineHandle handle, const LineState* state) {
    LineOf(handle)->state = *state;
    return true;
}

bool GetTimeouts(LineHandle handle, LineTimeouts* timeouts) {
    *timeouts = LineOf(handle)->timeouts;
    return true;
}

bool SetTimeouts(LineHandle handle, const LineTimeouts* timeouts) {
    LineOf(handle)->timeouts = *timeouts;
    return true;
}

bool SetupQueues(LineHandle, std::uint32_t, std::uint32_t) { return true; }
bool SetEventMask(LineHandle, std::uint32_t) { return true; }
bool EscapeFunction(LineHandle, std::uint32_t) { return true; }

// Bytes handed to the connection are on their way: the transmitter is empty.
bool WaitEvent(LineHandle, std::uint32_t* events) {
    *events = kEventTxEmpty;
    return true;
}

// A lost connection has nothing waiting; it is noticed by the next write.
bool ClearErrors(LineHandle handle, std::uint32_t* errors, std::uint32_t* bytesWaiting) {
    TcpLine& line = *LineOf(handle);
    *errors = 0;
    *bytesWaiting = 0;
    if (!line.connected) return true;
    const long waiting = sockets->bytesWaiting(line.socket);
    if (waiting > 0) *bytesWaiting = static_cast<std::uint32_t>(waiting);
    return true;
}

// As a serial port reads: until `length` bytes have come or the total
// time-out, counted from the start of the call, has run out; an interval
// time-out also ends it after a gap between two bytes. A connection lost
// meanwhile ends the call with the bytes it brought, or fails it when it
// brought none.
bool ReadPort(LineHandle handle, void* buffer, std::uint32_t length, std::uint32_t* got) {
    TcpLine& line = *LineOf(handle);
    *got = 0;
    if (!line.connected) return false;
    const LineTimeouts& t = line.timeouts;
    const std::uint64_t start = NowMs();
    const std::uint64_t total = std::uint64_t{t.readTotalMultiplier} * length + t.readTotalConstant;
    const bool immediate = t.readInterval == UINT32_MAX && total == 0;
    const std::uint32_t interval = t.readInterval == UINT32_MAX ? 0 : t.readInterval;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (*got < length) {
        bool bounded = total != 0 || immediate;
        std::uint64_t end = immediate ? NowMs() : start + total;
        if (interval != 0 && *got > 0) {
            const std::uint64_t gapEnd = NowMs() + interval;
            if (!bounded || gapEnd < end) end = gapEnd;
            bounded = true;
        }
        const std::uint64_t now = NowMs();
        const std::uint64_t left = !bounded ? kLongestWaitMs : (end > now ? end - now : 0);
        const int ready = sockets->waitReadable(
            line.socket, static_cast<std::uint32_t>(left < kLongestWaitMs ? left : kLongestWaitMs));
        if (ready < 0) {
            LoseConnection(line, "failed");
            return *got > 0;
        }
        if (ready == 0) {
            if (bounded && NowMs() >= end) break;
            continue;
        }
        const long n = sockets->receive(line.socket, bytes + *got, length - *got);
        if (n <= 0) {
            LoseConnection(line, n == 0 ? "closed by the server" : "failed");
            return *got > 0;
        }
        *got += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool WritePort(LineHandle handle, const void* buffer, std::uint32_t length,
               std::uint32_t* written) {
    TcpLine& line = *LineOf(handle);
    *written = 0;
    if (!EnsureConnected(line)) return false;
    if (!sockets->sendAll(line.socket, buffer, length)) {
        LoseConnection(line, "failed");
        return false;
    }
    *written = length;
    return true;
}

constexpr LineBackend kTcpBackend{Close,        GetLineState, SetLineState, GetTimeouts,
                                  SetTimeouts,  SetupQueues,  SetEventMask, WaitEvent,
                                  ClearErrors,  EscapeFunction, ReadPort,   WritePort};

}  // namespace

OpenTcpFn TcpLineOpener(const SocketCalls& calls) {
    sockets = &calls;
    return Open;
}

const LineBackend& TcpLineBackend() { return kTcpBackend; }

void DescribeTcpOpenResult(TcpOpenResult result, std::uint32_t timeoutMs, char* text,
                           std::size_t room) {
    switch (result) {
        case TcpOpenResult::kConnected: std::snprintf(text, room, "connected"); break;
        case TcpOpenResult::kRefused: std::snprintf(text, room, "connection refused"); break;
        case TcpOpenResult::kNoRoute: std::snprintf(text, room, "no route"); break;
        case TcpOpenResult::kNameNotFound: std::snprintf(text, room, "name not found"); break;
        case TcpOpenResult::kNoAnswer:
            std::snprintf(text, room, "no answer within %u ms", static_cast<unsigned>(timeoutMs));
            break;
        case TcpOpenResult::kFailed: std::snprintf(text, room, "connection failed"); break;
    }
}

void FormatTcpAddress(const char* host, std::uint16_t port, char* text, std::size_t room) {
    const bool ipv6 = std::strchr(host, ':') != nullptr;
    std::snprintf(text, room, ipv6 ? "[%s]:%u" : "%s:%u", host, static_cast<unsigned>(port));
}

}  // namespace plclink
