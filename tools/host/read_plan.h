// Which tags are read together. Tags of one station and area whose byte
// ranges lie close together are read as one block of bytes (commands 4 and
// 6) instead of one transaction each.
//
// "Close": a transaction costs a fixed amount of line time whatever it
// carries (the request, SC, poll and response frames without values, 67
// bytes, and the two pauses with their 1 ms RTS leads). Reading the bytes
// between two tags costs their line time. So two tags share a block when the
// gap between their byte ranges is at most that fixed cost expressed in byte
// times (11 bits each), and the block stays within what one frame of a real
// S7-200 carries (frame_limits.h).
#pragma once

#include <cstddef>
#include <vector>

#include "tag.h"

namespace plclink::host {

struct CoalesceRule {
    int maxGapBytes = 0;    // bytes between two tags that may be read along
    int maxBlockBytes = 0;  // bytes one block may span
};

// The rule for a line at `baud` with pauses of `pauseMs`.
CoalesceRule CoalesceRuleFor(unsigned baud, unsigned pauseMs);

// One transaction of a read round: a single tag (`tags` holds one index and
// `byteCount` is 0), or a block of `byteCount` bytes from `firstByte` of one
// station and area that holds every tag in `tags`.
struct ReadStep {
    std::vector<std::size_t> tags;  // indices into the planned tags
    std::int32_t plcNumber = 0;
    std::uint8_t area = 0;  // memArea
    int firstByte = 0;
    int byteCount = 0;

    bool isBlock() const { return byteCount > 0; }
};

// Groups `tags` by station and area and merges the close ones into blocks.
// Tags in I, Q, M or S beyond what every S7-200 has there (16, 16, 32 and
// 32 bytes) are read alone, so that a refused address does not spoil a block.
// Every tag appears in exactly one step.
std::vector<ReadStep> PlanReads(const std::vector<Tag>& tags, const CoalesceRule& rule);

// One step per tag, in order: no coalescing.
std::vector<ReadStep> OneByOne(const std::vector<Tag>& tags);

}  // namespace plclink::host
