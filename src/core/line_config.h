// The configuration a line is opened with, and the line handle values.
#pragma once

#include <cstdint>

#include "plclink/vpi.h"

namespace plclink {

// The open serial line of an instance: 0 = none, all bits set = the null
// line ("NULLDEV", on which nothing is opened), anything else = an open port.
using LineHandle = std::uintptr_t;
inline constexpr LineHandle kNoLine = 0;
inline constexpr LineHandle kNullLine = ~LineHandle{0};

// Every line the driver opens has DTR enabled and RTS disabled: RTS is then
// driven by hand around each frame.
inline constexpr std::uint16_t kDriverControlFlags = 0x0101;

struct LineConfig {
    char portName[12];
    LineSettings settings;
    std::uint16_t controlFlags;
};

static_assert(sizeof(LineConfig) == 22);

// A serial device server (a serial-to-Ethernet converter) that the line
// reaches over TCP in place of the serial port the host names: a host name
// or an IPv4 or IPv6 address (without brackets), and the TCP port.
struct TcpServer {
    char host[256];
    std::uint16_t port;
};

}  // namespace plclink
