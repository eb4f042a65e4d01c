#include "read_plan.h"

#include <algorithm>
#include <map>
#include <utility>

#include "area.h"
#include "frame_limits.h"
#include "plclink/vpi.h"

namespace plclink::host {
namespace {

// Bytes on the line of a read transaction besides its values: request 33,
// SC 1, poll 6, response 27.
constexpr int kFixedReadBytes = 33 + 1 + 6 + 27;
constexpr int kBitsPerByte = 11;
constexpr unsigned kRtsLeadMs = 1;

// Bytes every S7-200 has in an area; 0 = it differs by CPU (V, SM, AI, AQ).
int GuaranteedAreaBytes(std::uint8_t area) {
    switch (area) {
        case 'I': return 16;
        case 'Q': return 16;
        case 'M': return 32;
        case VPI_AREA_S: return 32;
        default: return 0;
    }
}

int TagBytes(const Tag& tag) { return ElementBytes(tag.type); }

bool MayShareABlock(const Tag& tag) {
    // A timer's or counter's number is no byte: no block of bytes holds it.
    if (IsElementAddressed(tag.memArea)) return false;
    const int limit = GuaranteedAreaBytes(tag.memArea);
    return tag.byteAddress() >= 0 && (limit == 0 || tag.byteAddress() + TagBytes(tag) <= limit);
}

ReadStep Single(std::size_t index) {
    ReadStep step;
    step.tags.push_back(index);
    return step;
}

}  // namespace

CoalesceRule CoalesceRuleFor(unsigned baud, unsigned pauseMs) {
    CoalesceRule rule;
    const double pausesInBytes = 2.0 * (pauseMs + kRtsLeadMs) * baud / (kBitsPerByte * 1000.0);
    rule.maxGapBytes = kFixedReadBytes + static_cast<int>(pausesInBytes);
    rule.maxBlockBytes = kMaxReadBlockBytes;
    return rule;
}

std::vector<ReadStep> OneByOne(const std::vector<Tag>& tags) {
    std::vector<ReadStep> steps;
    for (std::size_t i = 0; i < tags.size(); ++i) steps.push_back(Single(i));
    return steps;
}

std::vector<ReadStep> PlanReads(const std::vector<Tag>& tags, const CoalesceRule& rule) {
    // Station and area -> the tags there, in order of their byte address.
    std::map<std::pair<std::int32_t, std::uint8_t>, std::vector<std::size_t>> groups;
    std::vector<ReadStep> steps;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (MayShareABlock(tags[i]))
            groups[{tags[i].plcNumber, tags[i].memArea}].push_back(i);
        else
            steps.push_back(Single(i));
    }
    for (auto& [key, members] : groups) {
        std::stable_sort(members.begin(), members.end(), [&](std::size_t a, std::size_t b) {
            return tags[a].byteAddress() < tags[b].byteAddress();
        });
        ReadStep block;
        int end = 0;  // one past the last byte of the block
        auto close = [&] {
            if (block.tags.size() == 1) block = Single(block.tags.front());
            else block.byteCount = end - block.firstByte;
            steps.push_back(std::move(block));
            block = ReadStep{};
        };
        for (std::size_t index : members) {
            const Tag& tag = tags[index];
            const int first = tag.byteAddress();
            const int last = first + TagBytes(tag);
            if (!block.tags.empty()) {
                const int newEnd = std::max(end, last);
                if (first - end <= rule.maxGapBytes && newEnd - block.firstByte <= rule.maxBlockBytes) {
                    block.tags.push_back(index);
                    end = newEnd;
                    continue;
                }
                close();
            }
            block.tags.push_back(index);
            block.plcNumber = key.first;
            block.area = key.second;
            block.firstByte = first;
            end = last;
        }
        if (!block.tags.empty()) close();
    }
    return steps;
}

}  // namespace plclink::host
