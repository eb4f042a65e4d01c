// The multi-item read request, assembled in place in txFrame.
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "ppi/multi_read.h"
#include "ppi/ppi_frame.h"
#include "ppi/s7200_messages.h"

namespace plclink {
namespace {

class Appender {
public:
    explicit Appender(VpiInstance& instance) : frame_(instance.txFrame), length_(instance.txLength) {
        length_ = 0;
    }
    void Byte(std::uint32_t value) { frame_[length_++] = static_cast<std::uint8_t>(value); }
    void Word(std::uint32_t value) {
        Byte(value >> 8);
        Byte(value);
    }
    void Seal() {
        const std::uint8_t fcs =
            FrameChecksum(frame_ + kDaOffset, static_cast<std::size_t>(length_) - kDaOffset);
        Byte(fcs);
        Byte(kFrameEnd);
    }

private:
    std::uint8_t* frame_;
    std::int32_t& length_;
};

void ItemSpecification(Appender& out, const ReadItem& item) {
    out.Byte(0x12);
    out.Byte(0x0A);
    out.Byte(0x10);  // syntax id
    out.Byte(item.transport);
    out.Word(item.count);
    out.Word(item.dbNumber);
    out.Byte(item.areaCode);
    // A timer or counter is addressed by its number itself.
    const bool elements = AreaPackingOf(item.areaCode).recordBytes != 0;
    const std::uint32_t bitAddress = elements ? item.byteAddress : item.byteAddress * 8u;
    out.Byte(bitAddress >> 16);
    out.Word(bitAddress);
}

}  // namespace

int SetS7200MultiRdReq(VpiCallBlock* callBlock, const ReadRequest& request) {
    VpiInstance& instance = *InstanceOf(callBlock);
    instance.requestFc = kFcRequest;
    const std::size_t items = request.items.size();
    if (items == 0 || !RequestFits(request.items)) {
        err(kLogCategory, "Vpi%s%02d: SetS7200MultiRdReq() FAIL (items: %d)", kFamilyTag,
            instance.instanceNumber, static_cast<int>(items));
        return 1;
    }
    const std::size_t parLg = 2 + items * kItemSpecBytes;
    const std::size_t le = kLeBeforeMessage + 10 + parLg;
    Appender out(instance);
    out.Byte(kSd2);
    out.Byte(static_cast<std::uint32_t>(le));
    out.Byte(static_cast<std::uint32_t>(le));
    out.Byte(kSd2);
    out.Byte(request.station);
    out.Byte(kMasterStation);
    out.Byte(instance.requestFc);
    // Request header: protocol id, job, reserved, reference, par_lg, dat_lg.
    out.Byte(0x32);
    out.Byte(0x01);
    out.Word(0x0000);
    out.Word(NextPduReference(instance));
    out.Word(static_cast<std::uint32_t>(parLg));
    out.Word(0);
    out.Byte(kFunctionRead);
    out.Byte(static_cast<std::uint32_t>(items));
    for (const ReadItem& item : request.items) ItemSpecification(out, item);
    out.Seal();
    return 0;
}

}  // namespace plclink
