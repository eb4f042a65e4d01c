// Packing many tag reads into few multi-item read requests. The tags of one
// station go into as few requests as the S7-200's limits allow: a request
// and its answer each fit the 240-byte PDU, and their frames LE <= 249.
// Tags close together in one area share one item where that is cheaper on
// the line than an item of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plclink {

// The S7-200's PDU size, and the largest LE of a PROFIBUS frame: the limits
// of a multi-item request and of its answer.
inline constexpr std::size_t kS7200PduBytes = 240;
inline constexpr std::size_t kProfibusMaxLe = 249;

// S7 message bytes besides the items: the request header, function and item
// count; the response header, function and item count.
inline constexpr std::size_t kItemRequestBase = 10 + 2;
inline constexpr std::size_t kItemSpecBytes = 12;
inline constexpr std::size_t kItemAnswerBase = 12 + 2;
inline constexpr std::size_t kDataItemHeadBytes = 4;  // access_result, data_type, length
// LE counts DA, SA and FC before the S7 message.
inline constexpr std::size_t kLeBeforeMessage = 3;

// Two tags share an item when the bytes between them cost no more than a
// further item would: its specification in the request and its data item
// head in the answer.
inline constexpr int kMergeGapBytes = static_cast<int>(kItemSpecBytes + kDataItemHeadBytes);

// One tag to read: what its item specification asks for when it is read
// alone (exactly the item of a single read of it), and the bytes it takes
// from the answer. A timer or counter is addressed by its number, which
// `byteAddress` then holds, and takes its element's record (5 or 3 bytes).
struct TagRead {
    std::uint8_t station = 0;
    std::uint8_t areaCode = 0;
    std::uint16_t dbNumber = 0;
    std::uint8_t transport = 0;
    std::uint32_t byteAddress = 0;  // or the element number
    std::uint32_t bytes = 0;        // 1, 2 or 4, or the record's bytes
};

// One item of a request: `count` elements of `transport` from `byteAddress`
// (an element number in the element-addressed areas), `bytes` value bytes
// in the answer, serving the tags in `tags`.
struct ReadItem {
    std::uint8_t areaCode = 0;
    std::uint16_t dbNumber = 0;
    std::uint8_t transport = 0;
    std::uint16_t count = 0;
    std::uint32_t byteAddress = 0;
    std::uint32_t bytes = 0;
    std::vector<std::size_t> tags;  // indices into the packed TagReads
};

struct ReadRequest {
    std::uint8_t station = 0;
    std::vector<ReadItem> items;
};

// Whether the areas' items may be merged, and in which unit a merged item
// reads. Areas whose items address elements rather than bytes (timers and
// counters) are never merged with anything; their items name the element
// number as the address, and their answers hold `recordBytes` per element,
// its length counted in bytes.
struct AreaPacking {
    bool mergeable = false;
    std::uint8_t unitTransport = 0;
    std::uint32_t unitBytes = 1;
    std::uint32_t recordBytes = 0;  // 0: a byte-addressed area
};
AreaPacking AreaPackingOf(std::uint8_t areaCode);

// The S7 message length of a request with `items` items, and of its answer
// when every item is granted (each odd item but the last is followed by a
// fill byte).
std::size_t RequestMessageBytes(std::size_t items);
std::size_t AnswerMessageBytes(const std::vector<ReadItem>& items);
// Whether a request of these items, and its answer, fit the limits.
bool RequestFits(const std::vector<ReadItem>& items);

// Packs `which` of `tags` into requests, grouped by station in the order the
// stations first appear, each station's items in order of area and address.
// With `merge` false every tag gets an item of its own. Every tag of `which`
// is served by exactly one item.
std::vector<ReadRequest> PackReads(const std::vector<TagRead>& tags,
                                   const std::vector<std::size_t>& which, bool merge);

}  // namespace plclink
