// Opening, configuring and closing a serial port.
#pragma once

#include <cstdint>

#include "core/line_config.h"

namespace plclink {

// Results of OpenComPort.
inline constexpr int kPortOpened = 0;
inline constexpr int kPortOpenFailed = 1;       // not openable, or time-outs not settable
inline constexpr int kPortStateUnreadable = 4;
inline constexpr int kPortStateRefused = 5;
// Result of CloseComPort when the close fails.
inline constexpr int kPortCloseFailed = 7;

// "NULLDEV" in any case: the null line, on which nothing is opened.
bool IsNullLineName(const char* name);

// Opens the line of `config`: the null line for "NULLDEV" (any case), the
// port's handle on success, kNoLine on failure.
LineHandle OpenLine(const LineConfig& config);

// Opens the line of `config` as a TCP connection to `server`, waiting for
// it at most the read time-out `readTimeoutTenMs` (held within 1..10 s), and
// configures it as a port; logs why a connection could not be made, and
// once that the line settings are the server's. kNoLine on failure.
LineHandle OpenTcpLine(const LineConfig& config, const TcpServer& server,
                       std::uint32_t readTimeoutTenMs);

// Opens and configures one port; stores the handle the open returned in
// `handleOut` at once (kNullLine when the open failed).
int OpenComPort(const char* portName, const LineSettings& settings, std::uint16_t controlFlags,
                LineHandle* handleOut);

// True when `handle` is a line the platform holds open (a handle value
// left over in a record that was never started is not).
bool IsLineOpen(LineHandle handle);

// 0, or kPortCloseFailed.
int CloseComPort(LineHandle handle);

// Sets the total read time-out to tenMs x 10 ms; returns the previous one
// in 10 ms units, or 0 when the time-outs cannot be read or written.
std::uint32_t SetReadTimeout(LineHandle handle, std::uint32_t tenMs);

}  // namespace plclink
