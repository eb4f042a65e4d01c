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
    decltype(PlatformOps::closePort) closePort;
    decltype(PlatformOps::getLineState) getLineState;
    decltype(PlatformOps::setLineState) setLineState;
    decltype(PlatformOps::getTimeouts) getTimeouts;
    decltype(PlatformOps::setTimeouts) setTimeouts;
    decltype(PlatformOps::setupQueues) setupQueues;
    decltype(PlatformOps::setEventMask) setEventMask;
    decltype(PlatformOps::waitEvent) waitEvent;
    decltype(PlatformOps::clearErrors) clearErrors;
    decltype(PlatformOps::escapeFunction) escapeFunction;
    decltype(PlatformOps::readPort) readPort;
    decltype(PlatformOps::writePort) writePort;
};

using OpenSerialFn = decltype(PlatformOps::openPort);
using OpenTcpFn = decltype(PlatformOps::openTcpLine);

// Fills the table's open and line operations: opening goes to the backend
// of the kind asked for, and every other line operation to the backend the
// handle was opened with. A handle that no backend opened (closed, never
// opened, the null line) fails every operation.
void RouteLineOps(PlatformOps& ops, OpenSerialFn openSerial, const LineBackend& serial,
                  OpenTcpFn openTcp, const LineBackend& tcp);

}  // namespace plclink
