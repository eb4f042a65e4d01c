// Decoding the values of a read response into the host's buffer.
#include <cstring>

#include "address/element_areas.h"
#include "address/gas_syntax.h"
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "ppi/ppi_frame.h"
#include "ppi/s7200_messages.h"

namespace plclink {
namespace {

constexpr std::uint8_t kDataTypeBytes = 0x04;  // values as bytes, words or double words
constexpr std::uint8_t kDataTypeOctets = 0x09;  // timer and counter records

// The data item of a read response: access_result, data_type, a length,
// then the values.
constexpr std::size_t kDataTypeOffset = 1;
constexpr std::size_t kValuesOffset = 4;

std::uint32_t BigValueAt(const std::uint8_t* at, std::int32_t itemSize) {
    std::uint32_t value = 0;
    for (std::int32_t i = 0; i < itemSize; ++i) value = (value << 8) | at[i];
    return value;
}

void StoreWord(void* at, std::uint16_t value) { std::memcpy(at, &value, sizeof value); }
void StoreLong(void* at, std::uint32_t value) { std::memcpy(at, &value, sizeof value); }

// Block mode: element i of the buffer, as bytes, words or double words.
void StoreElement(void* buffer, std::int32_t i, std::int32_t itemSize, std::uint32_t value) {
    auto* at = static_cast<std::uint8_t*>(buffer) + std::size_t(i) * std::size_t(itemSize);
    switch (itemSize) {
        case 4: StoreLong(at, value); break;
        case 2: StoreWord(at, static_cast<std::uint16_t>(value)); break;
        default: *at = static_cast<std::uint8_t>(value); break;
    }
}

// Single mode: bytes and words go to valueSlot (a bit tag keeps only its
// bit), double words over the first four bytes of the buffer.
void StoreSingle(VpiInstance& instance, const TagAccessRecord& record, std::int32_t itemSize,
                 std::uint32_t value) {
    if (itemSize == 4) {
        StoreLong(instance.dataStart, value);
        return;
    }
    auto word = static_cast<std::uint16_t>(value);
    if (record.bitNumber != VPI_NO_BIT)
        word = static_cast<std::uint16_t>(TestBit(word, static_cast<std::int32_t>(record.bitNumber)));
    StoreWord(instance.valueSlot, word);
}

// Where each element's value stands among the values of the data item:
// plain values follow one another; a timer's or counter's value is the last
// two bytes of its record, and the record's other bytes are not read.
struct AnswerLayout {
    std::int32_t stride;  // bytes per element
    std::int32_t skip;    // bytes of the element before its value
};

AnswerLayout AnswerLayoutOf(const TagAccessRecord& record, std::int32_t itemSize) {
    const std::int32_t recordBytes = ElementRecordBytes(record.memArea);
    if (IsElementAddressedArea(record.memArea)) return {recordBytes, recordBytes - itemSize};
    return {itemSize, 0};
}

}  // namespace

int GetS7200RdRsp(VpiCallBlock* callBlock, std::int32_t count) {
    VpiInstance& instance = *InstanceOf(callBlock);
    const auto& record = *ParamsOf<TagAccessRecord>(callBlock);
    const std::int32_t number = instance.instanceNumber;
    const std::uint8_t* rx = instance.rxFrame;
    const std::uint8_t* item = rx + kParamsOffset + ParLgOf(rx);
    const std::int32_t datLg = DatLgOf(rx);

    if (datLg == 0) {
        err(kLogCategory, "Vpi%s%02d: GetS7200RdRsp FAIL (dat_lg == 0)", kFamilyTag, number);
        return 1;
    }
    const bool elementArea = IsElementAddressedArea(record.memArea);
    if (item[kDataTypeOffset] != (elementArea ? kDataTypeOctets : kDataTypeBytes)) {
        if (elementArea) {
            err(kLogCategory, "Vpi%s%02d: GetS7200RdRsp FAIL (data_type != 0x09)", kFamilyTag, number);
        } else {
            err(kLogCategory, "Vpi%s%02d: GetS7200RdRsp FAIL (data_type != 0x04)", kFamilyTag, number);
        }
        return 1;
    }
    // A timer's or counter's value is a word, whatever the record says.
    const std::int32_t itemSize = ReadItemSize(record.memAreaBits);
    if ((itemSize != 1 && itemSize != 2 && itemSize != 4) || (elementArea && itemSize != 2)) {
        err(kLogCategory, "Vpi%s%02d: GetS7200RdRsp FAIL (wrong item_size: %d)", kFamilyTag,
            number, itemSize);
        return 1;
    }
    const AnswerLayout layout = AnswerLayoutOf(record, itemSize);
    // Fewer values than asked would hand stale bytes to the host, more
    // would be values of another request.
    if (std::int64_t{datLg} - std::int64_t{kValuesOffset} != std::int64_t{count} * layout.stride) {
        err(kLogCategory, "Vpi%s%02d: GetS7200RdRsp FAIL (data length)", kFamilyTag, number);
        return 1;
    }
    const std::uint8_t* values = item + kValuesOffset + layout.skip;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t value =
            BigValueAt(values + std::size_t(i) * std::size_t(layout.stride), itemSize);
        if (instance.blockMode != 0) {
            StoreElement(instance.dataStart, i, itemSize, value);
        } else {
            StoreSingle(instance, record, itemSize, value);
        }
    }
    return 0;
}

}  // namespace plclink
