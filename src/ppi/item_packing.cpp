#include "ppi/item_packing.h"

#include <algorithm>
#include <map>

#include "address/element_areas.h"

namespace plclink {
namespace {

constexpr std::uint8_t kTransportByte = 0x02;
constexpr std::uint8_t kTransportWord = 0x04;

// The longest S7 message either way: the PDU, or what an LE of 249 carries.
constexpr std::size_t kMaxMessageBytes = std::min(kS7200PduBytes, kProfibusMaxLe - kLeBeforeMessage);
// A merged item alone in its request must fit the answer.
constexpr std::uint32_t kMaxMergedBytes =
    static_cast<std::uint32_t>(kMaxMessageBytes - kItemAnswerBase - kDataItemHeadBytes);

ReadItem ItemOf(const TagRead& tag, std::size_t index) {
    ReadItem item;
    item.areaCode = tag.areaCode;
    item.dbNumber = tag.dbNumber;
    item.transport = tag.transport;
    item.count = 1;
    item.byteAddress = tag.byteAddress;
    item.bytes = tag.bytes;
    item.tags.push_back(index);
    return item;
}

// Whether `tag` may join `item` (its tags all of the tag's area, sorted by
// address): a mergeable area, a gap of at most kMergeGapBytes, whole units,
// and a merged item that still fits an answer.
bool MayJoin(const ReadItem& item, const TagRead& tag, const AreaPacking& packing) {
    if (!packing.mergeable || item.areaCode != tag.areaCode || item.dbNumber != tag.dbNumber)
        return false;
    if (tag.byteAddress % packing.unitBytes != 0 || tag.bytes % packing.unitBytes != 0 ||
        item.byteAddress % packing.unitBytes != 0)
        return false;
    const std::int64_t end = std::int64_t{item.byteAddress} + item.bytes;
    if (std::int64_t{tag.byteAddress} - end > kMergeGapBytes) return false;
    const std::int64_t newEnd = std::max<std::int64_t>(end, std::int64_t{tag.byteAddress} + tag.bytes);
    return newEnd - item.byteAddress <= kMaxMergedBytes;
}

void Join(ReadItem& item, const TagRead& tag, std::size_t index, const AreaPacking& packing) {
    const std::uint32_t end = std::max(item.byteAddress + item.bytes, tag.byteAddress + tag.bytes);
    item.bytes = end - item.byteAddress;
    item.tags.push_back(index);
    // More than one tag: the item reads the span in the area's unit.
    item.transport = packing.unitTransport;
    item.count = static_cast<std::uint16_t>(item.bytes / packing.unitBytes);
}

// The items of one station's tags, in order of area and address.
std::vector<ReadItem> ItemsOf(const std::vector<TagRead>& tags, std::vector<std::size_t> members,
                              bool merge) {
    std::stable_sort(members.begin(), members.end(), [&](std::size_t a, std::size_t b) {
        if (tags[a].areaCode != tags[b].areaCode) return tags[a].areaCode < tags[b].areaCode;
        return tags[a].byteAddress < tags[b].byteAddress;
    });
    std::vector<ReadItem> items;
    for (std::size_t index : members) {
        const TagRead& tag = tags[index];
        const AreaPacking packing = AreaPackingOf(tag.areaCode);
        if (merge && !items.empty() && MayJoin(items.back(), tag, packing)) {
            Join(items.back(), tag, index, packing);
        } else {
            items.push_back(ItemOf(tag, index));
        }
    }
    return items;
}

}  // namespace

AreaPacking AreaPackingOf(std::uint8_t areaCode) {
    switch (areaCode) {
        case 0x81:  // I
        case 0x82:  // Q
        case 0x83:  // M
        case 0x84:  // V
        case 0x04:  // S
        case 0x05:  // SM
            return {true, kTransportByte, 1};
        case 0x06:  // AI: words only
        case 0x07:  // AQ
            return {true, kTransportWord, 2};
        default: {
            // Timers and counters: each item of its own, whatever its neighbours.
            AreaPacking packing;
            packing.recordBytes = static_cast<std::uint32_t>(ElementRecordBytes(areaCode));
            return packing;
        }
    }
}

std::size_t RequestMessageBytes(std::size_t items) { return kItemRequestBase + items * kItemSpecBytes; }

std::size_t AnswerMessageBytes(const std::vector<ReadItem>& items) {
    std::size_t bytes = kItemAnswerBase;
    for (std::size_t i = 0; i < items.size(); ++i) {
        bytes += kDataItemHeadBytes + items[i].bytes;
        if (items[i].bytes % 2 != 0 && i + 1 < items.size()) ++bytes;  // fill byte
    }
    return bytes;
}

bool RequestFits(const std::vector<ReadItem>& items) {
    return RequestMessageBytes(items.size()) <= kMaxMessageBytes &&
           AnswerMessageBytes(items) <= kMaxMessageBytes;
}

std::vector<ReadRequest> PackReads(const std::vector<TagRead>& tags,
                                   const std::vector<std::size_t>& which, bool merge) {
    // Stations in the order they first appear.
    std::vector<std::uint8_t> stations;
    std::map<std::uint8_t, std::vector<std::size_t>> byStation;
    for (std::size_t index : which) {
        auto& members = byStation[tags[index].station];
        if (members.empty()) stations.push_back(tags[index].station);
        members.push_back(index);
    }
    std::vector<ReadRequest> requests;
    for (std::uint8_t station : stations) {
        ReadRequest request{station, {}};
        for (ReadItem& item : ItemsOf(tags, byStation[station], merge)) {
            request.items.push_back(item);
            if (RequestFits(request.items)) continue;
            request.items.pop_back();
            requests.push_back(std::move(request));
            request = ReadRequest{station, {std::move(item)}};
        }
        requests.push_back(std::move(request));
    }
    return requests;
}

}  // namespace plclink
