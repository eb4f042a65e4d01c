// The three requests the driver sends: association, read and write. Each is
// assembled in place in the instance's txFrame.
#include <cstring>

#include "address/element_areas.h"
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "ppi/ppi_frame.h"
#include "ppi/s7200_messages.h"

namespace plclink {
namespace {

constexpr std::uint8_t kProtocolId = 0x32;
constexpr std::uint8_t kJob = 0x01;
constexpr std::uint16_t kAssociationReference = 0xCCC1;
constexpr std::uint16_t kItemParLg = 14;  // function, item count, one item specification

// Appends to txFrame from its start; Seal adds FCS and end byte.
class FrameWriter {
public:
    explicit FrameWriter(VpiInstance& instance) : frame_(instance.txFrame), length_(instance.txLength) {
        length_ = 0;
    }
    void Byte(std::uint8_t value) { frame_[length_++] = value; }
    void Word(std::uint16_t value) {
        Byte(static_cast<std::uint8_t>(value >> 8));
        Byte(static_cast<std::uint8_t>(value));
    }
    void Long(std::uint32_t value) {
        Word(static_cast<std::uint16_t>(value >> 16));
        Word(static_cast<std::uint16_t>(value));
    }
    void Address24(std::uint32_t value) {
        Byte(static_cast<std::uint8_t>(value >> 16));
        Word(static_cast<std::uint16_t>(value));
    }
    void Seal() {
        const std::uint8_t fcs = FrameChecksum(frame_ + kDaOffset, static_cast<std::size_t>(length_) - kDaOffset);
        Byte(fcs);
        Byte(kFrameEnd);
    }

private:
    std::uint8_t* frame_;
    std::int32_t& length_;
};

std::uint8_t StationOf(const TagAccessRecord& record) {
    return static_cast<std::uint8_t>(record.plcNumber);
}

void Sd2Head(FrameWriter& out, std::uint8_t le, std::uint8_t da, std::uint8_t fc) {
    out.Byte(kSd2);
    out.Byte(le);
    out.Byte(le);
    out.Byte(kSd2);
    out.Byte(da);
    out.Byte(kMasterStation);
    out.Byte(fc);
}

void RequestHeader(FrameWriter& out, std::uint16_t reference, std::uint16_t parLg,
                   std::uint16_t datLg) {
    out.Byte(kProtocolId);
    out.Byte(kJob);
    out.Word(0x0000);
    out.Word(reference);
    out.Word(parLg);
    out.Word(datLg);
}

void ItemSpecification(FrameWriter& out, const TagAccessRecord& record, std::uint8_t transport,
                       std::int32_t count, std::uint8_t area, std::uint32_t bitAddress) {
    out.Byte(0x12);
    out.Byte(0x0A);
    out.Byte(0x10);
    out.Byte(transport);
    out.Word(static_cast<std::uint16_t>(count));
    out.Word(record.memArea == 'V' ? 1 : 0);  // data block number
    out.Byte(area);
    out.Address24(bitAddress);
}

// elementIndex holds the byte address while a transaction runs; its bit
// address must fit the item's 24 bits, or another address would be served.
bool AddressFits(const TagAccessRecord& record) {
    return record.elementIndex >= 0 && record.elementIndex <= kMaxByteAddress;
}

// A timer or counter is addressed by its number itself.
std::uint32_t BitAddressOf(const TagAccessRecord& record) {
    const auto address = static_cast<std::uint32_t>(record.elementIndex);
    return IsElementAddressedArea(record.memArea) ? address : address * 8u;
}

std::uint8_t ReadTransportOf(const TagAccessRecord& record, std::uint8_t area) {
    return IsElementAddressedArea(record.memArea) ? area : TransportSizeOf(record.memAreaBits);
}

std::uint16_t WordAt(const void* at) {
    std::uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::uint32_t LongAt(const void* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// A single value: bytes and words come from valueSlot, double words from
// the start of the buffer; a bit goes out as 1 when its whole word is set.
void SingleValue(FrameWriter& out, const VpiInstance& instance, const TagAccessRecord& record,
                 bool bitTag, std::int32_t itemSize) {
    if (itemSize == 4) {
        out.Long(LongAt(record.dataBuffer));
        return;
    }
    const std::uint16_t word = WordAt(instance.valueSlot);
    if (itemSize == 2) {
        out.Word(word);
    } else if (bitTag) {
        out.Byte(word != 0 ? 1 : 0);
    } else {
        out.Byte(static_cast<std::uint8_t>(word));
    }
}

// A block: the elements one after another from the start of the buffer.
void BlockValues(FrameWriter& out, const TagAccessRecord& record, bool bitTag,
                 std::int32_t itemSize, std::int32_t count) {
    const auto* values = static_cast<const std::uint8_t*>(record.dataBuffer);
    for (std::int32_t i = 0; i < count; ++i, values += itemSize) {
        switch (itemSize) {
            case 4: out.Long(LongAt(values)); break;
            case 2: out.Word(WordAt(values)); break;
            default: out.Byte(bitTag ? (*values != 0 ? 1 : 0) : *values); break;
        }
    }
}

}  // namespace

// Skips 0x0000 and the association's reference, so that no answer to
// another request carries it.
std::uint16_t NextPduReference(VpiInstance& instance) {
    do {
        ++instance.pduReference;
    } while (instance.pduReference == 0 || instance.pduReference == kAssociationReference);
    return instance.pduReference;
}

int SetS7200EstablishAssociationReq(VpiCallBlock* callBlock) {
    VpiInstance& instance = *InstanceOf(callBlock);
    const auto& record = *ParamsOf<TagAccessRecord>(callBlock);
    FrameWriter out(instance);
    Sd2Head(out, 0x15, StationOf(record), kFcAssociation);
    // par_lg says 4 although the eight parameter bytes follow; LE counts them all.
    RequestHeader(out, kAssociationReference, 4, 0);
    out.Byte(kFunctionSetup);
    out.Byte(0x00);
    out.Word(1);
    out.Word(1);
    out.Word(960);  // PDU length
    out.Seal();
    return 0;
}

int SetS7200RdReq(VpiCallBlock* callBlock, std::int32_t count) {
    VpiInstance& instance = *InstanceOf(callBlock);
    const auto& record = *ParamsOf<TagAccessRecord>(callBlock);
    instance.requestFc = kFcRequest;
    const std::uint8_t area = AreaCodeOf(record.memArea);
    if (area == 0) {
        err(kLogCategory, "Vpi%s%02d: SetS7200RdReq() wrong memArea '%c' size: %d", kFamilyTag,
            instance.instanceNumber, record.memArea, record.memAreaBits);
        return 1;
    }
    const std::uint8_t transport = ReadTransportOf(record, area);
    if (!AddressFits(record)) {
        err(kLogCategory, "Vpi%s%02d: SetS7200RdReq() wrong address: %d", kFamilyTag,
            instance.instanceNumber, record.elementIndex);
        return 1;
    }
    FrameWriter out(instance);
    Sd2Head(out, 0x1B, StationOf(record), instance.requestFc);
    RequestHeader(out, NextPduReference(instance), kItemParLg, 0);
    out.Byte(kFunctionRead);
    out.Byte(1);
    // A read asks for whole elements; the bit of a bit tag is taken out on decoding.
    ItemSpecification(out, record, transport, count, area, BitAddressOf(record));
    out.Seal();
    return 0;
}

int SetS7200WrReq(VpiCallBlock* callBlock, std::int32_t count, ValueLayout layout) {
    VpiInstance& instance = *InstanceOf(callBlock);
    const auto& record = *ParamsOf<TagAccessRecord>(callBlock);
    instance.requestFc = kFcRequest;
    const bool bitTag = record.bitNumber != VPI_NO_BIT;
    const std::uint8_t transport = bitTag ? kTransportBit : TransportSizeOf(record.memAreaBits);
    const std::uint8_t area = AreaCodeOf(record.memArea);
    if (area == 0) {
        err(kLogCategory, "Vpi%s%02d: SetS7200WrReq() worng memArea '%c' size: %d", kFamilyTag,
            instance.instanceNumber, record.memArea, record.memAreaBits);
        return 1;
    }
    // How a CPU takes a timer's or counter's value is not known: never sent.
    if (IsElementAddressedArea(record.memArea)) {
        err(kLogCategory, "Vpi%s%02d: SetS7200WrReq() FAIL (timers and counters are not written)",
            kFamilyTag, instance.instanceNumber);
        return 1;
    }
    const std::int32_t itemSize = WriteItemSize(record);
    if (itemSize != 1 && itemSize != 2 && itemSize != 4) {
        err(kLogCategory, "Vpi%s%02d: SetS7200WrReq FAIL (wrong item_size: %d)", kFamilyTag,
            instance.instanceNumber, itemSize);
        return 1;
    }
    if (!AddressFits(record)) {
        err(kLogCategory, "Vpi%s%02d: SetS7200WrReq() wrong address: %d", kFamilyTag,
            instance.instanceNumber, record.elementIndex);
        return 1;
    }
    // The values must fit one frame, and so txFrame.
    const std::int64_t valueBytes = std::int64_t{itemSize} * count;
    if (count < 1 || kWriteRequestLeBase + valueBytes > kMaxFrameLe) {
        err(kLogCategory, "Vpi%s%02d: SetS7200WrReq FAIL (count: %d)", kFamilyTag,
            instance.instanceNumber, count);
        return 1;
    }
    const auto le = static_cast<std::uint8_t>(kWriteRequestLeBase + valueBytes);
    const std::uint32_t bitAddress =
        BitAddressOf(record) + (bitTag ? record.bitNumber : 0u);

    FrameWriter out(instance);
    Sd2Head(out, le, StationOf(record), instance.requestFc);
    RequestHeader(out, NextPduReference(instance), kItemParLg,
                  static_cast<std::uint16_t>(valueBytes + 4));
    out.Byte(kFunctionWrite);
    out.Byte(1);
    ItemSpecification(out, record, transport, count, area, bitAddress);
    // Data item header: return code, data form (bits or bytes), length in bits.
    out.Byte(0x00);
    out.Byte(bitTag ? 0x03 : 0x04);
    out.Word(static_cast<std::uint16_t>(bitTag ? 1 : record.memAreaBits * count));
    if (count == 1 && layout == ValueLayout::kByCount) {
        SingleValue(out, instance, record, bitTag, itemSize);
    } else {
        BlockValues(out, record, bitTag, itemSize, count);
    }
    out.Seal();
    return 0;
}

}  // namespace plclink
