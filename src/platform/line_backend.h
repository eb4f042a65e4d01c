// Lines of more than one kind behind the one platform table: each open line
// knows the backend it was opened with (a serial port, a TCP connection), and
// the table's line operations pass each call on to the backend of its handle.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace plclink {

// The operations of one kind of line: those of the platform table that take
// an open line.
struct LineBackend {
    bool (*closePort)(LineHandle handle);
    bool (*getLineState)(LineHandle handle, LineState* state);
    bool (*setLineState)(LineHandle handle, const LineState* state);
    bool (*getTimeouts)(LineHandle handle, LineTimeouts* timeouts);
    bool (*setTimeouts)(LineHandle handle, const LineTimeouts* timeouts);
    bool (*setupQueues)(LineHandle handle, std::uint32_t inSize, std::uint32_t outSize);
    bool (*setEventMask)(LineHandle handle, std::uint32_t mask);
    bool (*waitEvent)(LineHandle handle, std::uint32_t* events);
    bool (*clearErrors)(LineHandle handle, std::uint32_t* errors, std::uint32_t* bytesWaiting);
    bool (*escapeFunction)(LineHandle handle, std::uint32_t function);
    bool (*readPort)(LineHandle handle, void* buffer, std::uint32_t length, std::uint32_t* got);
    bool (*writePort)(LineHandle handle, const void* buffer, std::uint32_t length,
                      std::uint32_t* written);
};

using OpenSerialFn = bool (*)(const char* portName, LineHandle* handleOut);
using OpenTcpFn = TcpOpenResult (*)(const char* host, std::uint16_t port, std::uint32_t timeoutMs,
                                    LineHandle* handleOut);

// Fills the table's open and line operations: opening goes to the backend
// of the kind asked for, and every other line operation to the backend the
// handle was opened with. A handle that no backend opened (closed, never
// opened, the null line) fails every operation.
void RouteLineOps(PlatformOps& ops, OpenSerialFn openSerial, const LineBackend& serial,
                  OpenTcpFn openTcp, const LineBackend& tcp);

}  // namespace plclink
