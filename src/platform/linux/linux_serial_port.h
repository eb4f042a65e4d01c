// The pieces of the Linux serial layer: one open port, the name it was
// asked for by, and its line state over termios.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace plclink::linux_platform {

// An open port. Its address is the line handle the driver keeps, so a
// handle is never 0 nor all bits set.
struct SerialPort {
    int fd = -1;
    bool terminal = false;     // has a line state (tcgetattr works)
    bool pseudoTerminal = false;  // no modem lines, no parity, always 8 data bits
    LineTimeouts timeouts{0, 0, 1000, 0, 0};
    std::uint32_t eventMask = 0;
    LineState state{};         // the fields termios has no place for
};

// The device path of a port name: "COM1".."COM9" are /dev/ttyS0..8, "NUL" is
// /dev/null, a name that does not start with '/' lies under /dev/.
std::string DevicePathOf(const char* portName);

// Line state over termios; false with errno set when the device has none or
// refuses it. A refused state leaves the port as it was where the device
// allows.
bool ReadLineState(const SerialPort& port, LineState* state);
bool WriteLineState(SerialPort& port, const LineState& state);

// Baud rates without a termios constant (187500 for PPI at full speed).
bool SetCustomBaud(int fd, std::uint32_t baud);
std::uint32_t CustomBaudOf(int fd);  // 0 when unknown

}  // namespace plclink::linux_platform
