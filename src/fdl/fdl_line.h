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

// The next frame: kNone when no byte starts within the port's read
// time-out (set it with SetLineWaitMs), else the frame that byte starts.
// `waitMs` is the read time-out for the first byte; the rest of a frame
// follows at line speed.
FdlFrame ReceiveFdlFrame(LineHandle line, std::uint32_t waitMs);

// Sends `length` bytes with RTS raised around them; false when not all went.
bool SendFdlFrame(LineHandle line, const std::uint8_t* bytes, std::uint32_t length);

}  // namespace plclink
