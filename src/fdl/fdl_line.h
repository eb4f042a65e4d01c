// A station's frames on the line: waiting a bounded time for the first byte
// of a frame and reading the rest, and sending a frame with RTS raised
// around it.
#pragma once

#include <cstdint>

#include "core/line_config.h"
#include "fdl/fdl_frames.h"

namespace plclink {

// Sets the port's total read time-out to `ms` milliseconds (at least 1).
void SetLineWaitMs(LineHandle line, std::uint32_t ms);

// RTS is raised this long before a frame's first byte.
inline constexpr std::uint32_t kRtsLeadMs = 1;

// The next frame: kNone when no byte starts within `waitMs`, else the frame
// that byte starts (the rest of a frame follows at line speed). After a
// broken frame the line is read until it has been quiet for `quietMs`.
FdlFrame ReceiveFdlFrame(LineHandle line, std::uint32_t waitMs, std::uint32_t quietMs);

// The time `bytes` characters (11 bits each) take on a line of `baud`, in
// whole milliseconds rounded up. The transmitter-empty wait of a
// pseudo-terminal or a USB adapter returns before the last byte is on the
// line; the slot time and the bus idle time count from there.
std::uint32_t FrameLineMs(std::uint32_t bytes, std::uint32_t baud);

// Sends `length` bytes with RTS raised around them, and returns no sooner
// than their line time at `baud` after the write began; false when not all
// went.
bool SendFdlFrame(LineHandle line, const std::uint8_t* bytes, std::uint32_t length,
                  std::uint32_t baud);

}  // namespace plclink
