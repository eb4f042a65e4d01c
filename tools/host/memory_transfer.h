// Moving a byte range of controller memory in the largest blocks an S7-200
// takes in one exchange (frame_limits.h): byte-block tags (word blocks in
// the analog areas) parsed by the module (command 4), then commands 6 and 10.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "session.h"

namespace plclink::host {

struct RangeResult {
    bool ok = true;
    std::string block;   // the block tag that failed
    ParsedTag parsed;    // when its tag was refused
    Transfer transfer;   // when its transfer failed
};

using Progress = std::function<void(long done)>;

// Reads `length` bytes from `start` of `area` at PLC `plc` into `bytes`.
RangeResult ReadRange(Session& session, int plc, const std::string& area, int start, long length,
                      std::vector<std::uint8_t>& bytes, const Progress& progress);

// Writes `bytes` to `start` of `area` at PLC `plc`.
RangeResult WriteRange(Session& session, int plc, const std::string& area, int start,
                       const std::vector<std::uint8_t>& bytes, const Progress& progress);

// Tells the user why a range transfer stopped; returns the exit status.
int ExplainRange(Session& session, const RangeResult& result);

}  // namespace plclink::host
