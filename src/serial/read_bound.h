// The longest a read of a given count may take on a line, and the means to
// hold the port's read calls within it.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "core/line_config.h"

namespace plclink {

// One read time-out of the port plus twice the time the bytes take on the
// line (11 bits each: start, 8 data, parity, stop) at its baud rate: how long
// a read of `count` bytes may last from its start, however the bytes
// trickle in. Only the time-out when the port has no baud rate.
std::uint64_t ReadBoundMs(LineHandle handle, std::uint32_t count);

// Shortens the port's total read time-out for the calls still to come, and
// puts the port's own time-outs back when it goes out of scope.
class ReadTimeoutCut {
public:
    explicit ReadTimeoutCut(LineHandle handle) : handle_(handle) {}
    ~ReadTimeoutCut();
    ReadTimeoutCut(const ReadTimeoutCut&) = delete;
    ReadTimeoutCut& operator=(const ReadTimeoutCut&) = delete;

    // The next read call of `count` bytes ends within `ms`.
    void limitTo(std::uint64_t ms, std::uint32_t count);

private:
    LineHandle handle_;
    bool known_ = false;  // own time-outs read
    bool cut_ = false;    // the port runs shortened time-outs
    LineTimeouts own_{};
};

}  // namespace plclink
