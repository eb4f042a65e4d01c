// Command 20, read tags: many tags of any stations and areas read with
// multi-item requests. Each tag gets what command 5 would store in its
// buffer, and its own result: 0 read, 1 refused (its record, or the
// controller's access_result for its item, or the request's answer after
// the attempts), 2 the link of its request failed.
//
// A merged item that the controller refuses is read again as one item per
// tag, so that one address the controller lacks fails only its own tag.
#include <algorithm>
#include <cstring>
#include <vector>

#include "address/element_areas.h"
#include "address/gas_syntax.h"
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "entry/command_handlers.h"
#include "ppi/multi_read.h"
#include "ppi/s7200_messages.h"

namespace plclink {
namespace {

constexpr std::uint8_t kAccessGranted = 0xFF;

std::int64_t ByteAddressOf(const TagAccessRecord& tag) {
    if (tag.sizeBits == 16) return std::int64_t{tag.elementIndex} * 2;
    if (tag.sizeBits == 32) return std::int64_t{tag.elementIndex} * 4;
    return tag.elementIndex;
}

// A timer or counter: an item of its own that names it by number, with the
// area code as its transport size, answered with its element's record.
int DescribeElementTag(const VpiInstance& instance, const TagAccessRecord& tag, std::int32_t index,
                       TagRead& read) {
    const char* name = instance.VpiName;
    // Its value is a word, whatever the record says.
    if (ReadItemSize(tag.memAreaBits) != 2) {
        err(kLogCategory, "%.35s: ReadTags() tag %d FAIL (wrong item_size: %d)", name, index,
            ReadItemSize(tag.memAreaBits));
        return 1;
    }
    if (tag.elementIndex < 0 || tag.elementIndex > kMaxElementNumber) {
        err(kLogCategory, "%.35s: ReadTags() tag %d FAIL (elementIndex: %d)", name, index,
            tag.elementIndex);
        return 1;
    }
    read.station = static_cast<std::uint8_t>(tag.plcNumber);
    read.dbNumber = 0;
    read.transport = read.areaCode;
    read.byteAddress = static_cast<std::uint32_t>(tag.elementIndex);
    read.bytes = AreaPackingOf(read.areaCode).recordBytes;
    return 0;
}

// Empties the tag's value as command 5 does (bytes 0..3, which also clears a
// text tag's first byte), then describes its read; 1 with a log line when
// the tag cannot be read.
int DescribeTag(const VpiInstance& instance, const TagAccessRecord& tag, std::int32_t index,
                TagRead& read) {
    const char* name = instance.VpiName;
    if (tag.dataBuffer == nullptr) {
        err(kLogCategory, "%.35s: ReadTags() tag %d FAIL (no dataBuffer)", name, index);
        return 1;
    }
    std::memset(tag.dataBuffer, 0, 4);
    read.areaCode = AreaCodeOf(tag.memArea);
    if (read.areaCode == 0) {
        err(kLogCategory, "%.35s: ReadTags() tag %d FAIL (wrong memArea '%c' size: %d)", name, index,
            tag.memArea, tag.memAreaBits);
        return 1;
    }
    if (IsElementAddressedArea(tag.memArea)) return DescribeElementTag(instance, tag, index, read);
    const std::int32_t bytes = ReadItemSize(tag.memAreaBits);
    if (bytes != 1 && bytes != 2 && bytes != 4) {
        err(kLogCategory, "%.35s: ReadTags() tag %d FAIL (wrong item_size: %d)", name, index, bytes);
        return 1;
    }
    const std::int64_t byteAddress = ByteAddressOf(tag);
    if (byteAddress < 0 || byteAddress + bytes - 1 > kMaxByteAddress) {
        err(kLogCategory, "%.35s: ReadTags() tag %d FAIL (elementIndex: %d)", name, index,
            tag.elementIndex);
        return 1;
    }
    read.station = static_cast<std::uint8_t>(tag.plcNumber);
    read.dbNumber = tag.memArea == 'V' ? 1 : 0;
    read.transport = TransportSizeOf(tag.memAreaBits);
    read.byteAddress = static_cast<std::uint32_t>(byteAddress);
    read.bytes = static_cast<std::uint32_t>(bytes);
    return 0;
}

// Stores a tag's value from its item's values as command 5 does: a double
// word over bytes 0..3, a byte or word (or its bit) in the word at byte 2. A
// timer's or counter's value is the last two bytes of its record.
void StoreTagValue(const TagAccessRecord& tag, const TagRead& read, const ReadItem& item,
                   const std::uint8_t* values) {
    const std::uint32_t recordBytes = AreaPackingOf(read.areaCode).recordBytes;
    const std::uint32_t offset = recordBytes != 0
                                     ? (read.byteAddress - item.byteAddress) * recordBytes + recordBytes - 2
                                     : read.byteAddress - item.byteAddress;
    const std::uint32_t valueBytes = recordBytes != 0 ? 2 : read.bytes;
    const std::uint8_t* at = values + offset;
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < valueBytes; ++i) value = (value << 8) | at[i];
    auto* buffer = static_cast<std::uint8_t*>(tag.dataBuffer);
    if (valueBytes == 4) {
        std::memcpy(buffer, &value, 4);
        return;
    }
    auto word = static_cast<std::uint16_t>(value);
    if (tag.bitNumber != VPI_NO_BIT)
        word = static_cast<std::uint16_t>(TestBit(word, static_cast<std::int32_t>(tag.bitNumber)));
    std::memcpy(buffer + 2, &word, 2);
}

class TagsRead {
public:
    TagsRead(VpiCallBlock* callBlock, ReadTagsRecord& record)
        : callBlock_(callBlock), instance_(*InstanceOf(callBlock)), record_(record),
          reads_(static_cast<std::size_t>(record.tagCount)) {}

    // Describes every tag; the readable ones are returned.
    std::vector<std::size_t> describe() {
        std::vector<std::size_t> readable;
        for (std::size_t i = 0; i < reads_.size(); ++i) {
            record_.results[i] = DescribeTag(instance_, record_.tags[i], static_cast<std::int32_t>(i), reads_[i]);
            if (record_.results[i] == 0) readable.push_back(i);
        }
        return readable;
    }

    // Reads `which`; the tags of refused merged items are added to `again`.
    void read(const std::vector<std::size_t>& which, bool merge, std::vector<std::size_t>& again) {
        for (const ReadRequest& request : PackReads(reads_, which, merge)) run(request, again);
    }

private:
    void run(const ReadRequest& request, std::vector<std::size_t>& again) {
        // The request goes to its station as a read of its first tag would:
        // an association of the transaction goes there too.
        VpiCallBlock block = *callBlock_;
        block.params = &record_.tags[request.items.front().tags.front()];
        std::vector<ItemAnswer> answers;
        ++record_.requests;
        const int result = S7200ReadItems(&block, request, answers);
        for (std::size_t i = 0; i < request.items.size(); ++i) {
            const ReadItem& item = request.items[i];
            if (result != 0) {
                for (std::size_t tag : item.tags) record_.results[tag] = result;
            } else if (answers[i].accessResult == kAccessGranted) {
                for (std::size_t tag : item.tags)
                    StoreTagValue(record_.tags[tag], reads_[tag], item, instance_.rxFrame + answers[i].valuesAt);
            } else if (item.tags.size() > 1) {
                again.insert(again.end(), item.tags.begin(), item.tags.end());
            } else {
                refuse(item.tags.front(), request.station, answers[i].accessResult);
            }
        }
    }

    void refuse(std::size_t tag, std::uint8_t station, std::uint8_t accessResult) {
        record_.results[tag] = 1;
        err(kLogCategory, "%.35s: ReadTags() tag %d (PLC %d) FAIL (access_result: %02x)",
            instance_.VpiName, static_cast<int>(tag), static_cast<int>(station),
            static_cast<unsigned>(accessResult));
    }

    VpiCallBlock* callBlock_;
    VpiInstance& instance_;
    ReadTagsRecord& record_;
    std::vector<TagRead> reads_;
};

}  // namespace

std::int32_t ReadTags(VpiCallBlock* callBlock) {
    VpiInstance* instance = InstanceOf(callBlock);
    auto* record = ParamsOf<ReadTagsRecord>(callBlock);
    if (instance == nullptr || record == nullptr) {
        err(kLogCategory, "ReadTags() FAIL (no instance or record)");
        return VPI_FAILED;
    }
    if (record->tagCount < 1 || record->tagCount > VPI_READ_TAGS_MAX || record->tags == nullptr ||
        record->results == nullptr) {
        err(kLogCategory, "%.35s: ReadTags() FAIL (tagCount: %d)", instance->VpiName, record->tagCount);
        return VPI_FAILED;
    }
    record->requests = 0;
    TagsRead tags(callBlock, *record);
    std::vector<std::size_t> again;
    tags.read(tags.describe(), true, again);
    std::vector<std::size_t> none;
    if (!again.empty()) tags.read(again, false, none);
    return *std::max_element(record->results, record->results + record->tagCount);
}

}  // namespace plclink
