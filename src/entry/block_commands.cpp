// Commands 5, 6, 7 and 10: read and write one value or a block of values of
// a tag through one transaction. They point the instance at the host's value
// buffer, turn the tag's element index into the byte address the protocol
// reads, and put the host's record back as they found it.
#include <cstring>

#include "entry/command_handlers.h"
#include "address/element_areas.h"
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "ppi/s7200_messages.h"
#include "ppi/s7200_transactions.h"

namespace plclink {
namespace {

// Tag kind whose buffer holds text: a read clears its first byte first.
constexpr std::int32_t kTextTagKind = 7;

struct TagCommand {
    const char* name;
    bool read;
    bool block;
};

constexpr TagCommand kReadValue{"ReadValue", true, false};
constexpr TagCommand kReadBlock{"ReadBlock", true, true};
constexpr TagCommand kWriteValue{"WriteValue", false, false};
constexpr TagCommand kWriteBlock{"WriteBlock", false, true};

// The byte address of an element index, computed wide so that no index
// wraps onto another address.
std::int64_t IndexToByteAddress(std::int32_t index, std::int32_t sizeBits) {
    if (sizeBits == 16) return std::int64_t{index} * 2;
    if (sizeBits == 32) return std::int64_t{index} * 4;
    return index;
}

// The address the request carries: a byte address, or for a timer or
// counter its number as it stands.
std::int64_t ItemAddressOf(const TagAccessRecord& record, std::int32_t index) {
    if (IsElementAddressedArea(record.memArea)) return index;
    return IndexToByteAddress(index, record.sizeBits);
}

// Whether `count` elements go in one request (write) or one response (read).
bool FitsOneFrame(const TagCommand& command, const TagAccessRecord& record, std::int32_t count) {
    if (command.read && IsElementAddressedArea(record.memArea))
        return std::int64_t{ElementRecordBytes(record.memArea)} * count <= kMaxReadValueBytes;
    if (command.read)
        return std::int64_t{ReadItemSize(record.memAreaBits)} * count <= kMaxReadValueBytes;
    return kWriteRequestLeBase + std::int64_t{WriteItemSize(record)} * count <= kMaxFrameLe;
}

// A bit write goes to bit address byte address x 8 + bitNumber: the bit must
// lie within the element (bits 0..7 of a byte, 0..15 of a word, 0..31 of a
// double word) and the address within 24 bits, or another element's bit
// would be written.
bool BitWithinElement(const TagAccessRecord& record, std::int64_t byteAddress) {
    const std::uint32_t elementBits =
        record.memAreaBits == 16 || record.memAreaBits == 32 ? record.memAreaBits : 8;
    return record.bitNumber < elementBits && byteAddress * 8 + record.bitNumber <= 0xFFFFFF;
}

// A record without its buffer or elements is refused before anything is
// touched: 1 with a log line, else 0.
int RefuseRecord(const TagCommand& command, const VpiInstance* instance,
                 const TagAccessRecord* record) {
    if (instance == nullptr || record == nullptr) {
        err(kLogCategory, "%s() FAIL (no instance or record)", command.name);
        return 1;
    }
    const char* name = instance->VpiName;
    if (record->dataBuffer == nullptr) {
        err(kLogCategory, "%.35s: %s() FAIL (no dataBuffer)", name, command.name);
        return 1;
    }
    const std::int32_t count = command.block ? record->itemCount : 1;
    if (count < 1) {
        err(kLogCategory, "%.35s: %s() FAIL (itemCount: %d)", name, command.name, count);
        return 1;
    }
    return 0;
}

// A record whose elements cannot be served in one request is refused before
// anything is sent: 1 with a log line, else 0.
int RefuseRequest(const TagCommand& command, const VpiInstance* instance,
                  const TagAccessRecord* record) {
    const char* name = instance->VpiName;
    const std::int32_t count = command.block ? record->itemCount : 1;
    if (!FitsOneFrame(command, *record, count)) {
        err(kLogCategory, "%.35s: %s() FAIL (itemCount: %d does not fit one frame)", name,
            command.name, count);
        return 1;
    }
    const std::int64_t byteAddress = ItemAddressOf(*record, record->elementIndex);
    const std::int64_t highestAddress =
        IsElementAddressedArea(record->memArea) ? kMaxElementNumber : kMaxByteAddress;
    if (byteAddress < 0 || byteAddress > highestAddress) {
        err(kLogCategory, "%.35s: %s() FAIL (elementIndex: %d)", name, command.name,
            record->elementIndex);
        return 1;
    }
    if (!command.read && record->bitNumber != VPI_NO_BIT && !BitWithinElement(*record, byteAddress)) {
        err(kLogCategory, "%.35s: %s() FAIL (bitNumber: %u)", name, command.name, record->bitNumber);
        return 1;
    }
    // Analog inputs are read-only: a write to them is never sent.
    if (!command.read && record->memArea == VPI_AREA_AI) {
        err(kLogCategory, "%.35s: %s() FAIL (PLC %d AIW%d: analog inputs are read-only)", name,
            command.name, record->plcNumber, static_cast<int>(byteAddress));
        return 1;
    }
    // Timers and counters are only read: no evidence shows how a CPU takes
    // a value written to them.
    if (!command.read && IsElementAddressedArea(record->memArea)) {
        err(kLogCategory, "%.35s: %s() FAIL (PLC %d %c%d: timers and counters are read-only)", name,
            command.name, record->plcNumber, record->memArea == VPI_AREA_T ? 'T' : 'C',
            static_cast<int>(byteAddress));
        return 1;
    }
    return 0;
}

// A read empties the host's value first, so that a failed or refused read
// never leaves an old value looking fresh: bytes 0..3 of a single value
// stay zero unless the whole response passes, and a text tag's buffer reads
// as empty until values arrive. Writes send the host's values as given.
void EmptyReadValue(const TagCommand& command, const TagAccessRecord& record,
                    std::uint8_t* buffer) {
    if (!command.read) return;
    if (!command.block) std::memset(buffer, 0, 4);
    if (record.tagKind == kTextTagKind) buffer[0] = 0;
}

std::int32_t RunTagCommand(VpiCallBlock* callBlock, const TagCommand& command) {
    VpiInstance* instance = InstanceOf(callBlock);
    TagAccessRecord* record = ParamsOf<TagAccessRecord>(callBlock);
    if (RefuseRecord(command, instance, record) != 0) return VPI_FAILED;

    const std::int32_t elementIndex = record->elementIndex;
    auto* buffer = static_cast<std::uint8_t*>(record->dataBuffer);
    instance->valueSlot = reinterpret_cast<std::uint16_t*>(buffer + 2);
    instance->dataStart = buffer;
    EmptyReadValue(command, *record, buffer);
    if (RefuseRequest(command, instance, record) != 0) return VPI_FAILED;
    record->elementIndex = static_cast<std::int32_t>(ItemAddressOf(*record, elementIndex));

    std::int32_t result;
    if (command.read) {
        instance->blockMode = command.block ? 1 : 0;
        result = S7200Read(callBlock, command.block ? record->itemCount : 1);
    } else {
        // A block write takes its elements from the buffer start, as a block
        // read stores them, also when there is one: the host's block buffer
        // holds itemCount elements and no more.
        result = command.block ? S7200Write(callBlock, record->itemCount, ValueLayout::kBlock)
                               : S7200Write(callBlock, 1);
    }
    record->elementIndex = elementIndex;
    return result;
}

}  // namespace

std::int32_t ReadValue(VpiCallBlock* callBlock) { return RunTagCommand(callBlock, kReadValue); }
std::int32_t ReadBlock(VpiCallBlock* callBlock) { return RunTagCommand(callBlock, kReadBlock); }
std::int32_t WriteValue(VpiCallBlock* callBlock) { return RunTagCommand(callBlock, kWriteValue); }
std::int32_t WriteBlock(VpiCallBlock* callBlock) { return RunTagCommand(callBlock, kWriteBlock); }

}  // namespace plclink
