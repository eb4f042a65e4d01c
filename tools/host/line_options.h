// The serial line as the user gives it on the command line, and the
// ColdStart request made from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "plclink/vpi.h"

namespace plclink::host {

struct LineOptions {
    std::string port;
    unsigned baud = 9600;
    std::string parity = "even";  // none, odd, even, mark, space
    unsigned dataBits = 8;
    std::string stopBits = "1";   // 1, 1.5, 2
    unsigned timeoutMs = 1000;    // read time-out of the line
};

// Longest port name the driver's records hold.
inline constexpr std::size_t kMaxPortName = 11;

// The name the driver is given for `port`. A name too long for its records
// is resolved through symbolic links, and a device path then goes without
// its /dev/ prefix (the driver looks there for names that do not begin
// with /).
std::string DriverPortName(const std::string& port);

// The serial device server of a port given as "tcp:HOST:PORT" (HOST a name,
// an IPv4 address or an IPv6 address in brackets): "HOST:PORT"; nothing for
// any other port.
std::optional<std::string> TcpServerOfPort(const std::string& port);

// The port name the host's records carry for a line to a serial device
// server (the driver logs it; the initialization file says where to connect).
inline constexpr char kTcpPortName[] = "CONVERTER";

// The request that starts an instance on this line; nullopt and `why` when
// a setting cannot be expressed in the driver's records.
std::optional<ColdStartRequest> ColdStartRequestFor(const LineOptions& line, std::string& why);

// The request for an instance that needs no line of its own (the parse
// commands): the null line, so the instance still reads its initialization
// file.
ColdStartRequest NullLineRequest();

// "9600 baud, 8 data bits, even parity, 1 stop bit" from the driver's codes.
std::string DescribeLineSettings(const LineSettings& settings);

std::optional<std::uint16_t> ParityCode(const std::string& name);
std::optional<std::uint16_t> StopBitsCode(const std::string& name);

}  // namespace plclink::host
