// The instance's serial line, as the lifecycle commands share it.
#pragma once

#include <cstdint>

#include "core/vpi_instance.h"

namespace plclink {

// The default total read time-out, 10 ms units, for a request that gives 0.
inline constexpr std::uint32_t kDefaultReadTimeout = 100;

// Sets the transmit-empty event mask that WaitTxEmpty waits on; false when
// the line does not take it (always so on the null line).
bool WatchTxEmpty(LineHandle handle);

// Opens the line of `config` for the instance: a TCP connection to the
// serial device server when the initialization file of VPI `vpiNumber`
// names one (waiting at most the read time-out `readTimeoutTenMs`), else
// the port. A TCP line is the instance's own: while the instance holds an
// open line, a second one is not connected. kNoLine on failure.
LineHandle OpenInstanceLine(const VpiInstance& instance, const LineConfig& config,
                            std::uint16_t vpiNumber, std::uint32_t readTimeoutTenMs);

// Closes the instance's line as command 12 does: 0, or 2 when the port
// could not be closed (the handle is kept).
std::int32_t CloseInstanceLine(VpiInstance& instance);

}  // namespace plclink
