#include "ppisim/station.h"

#include <algorithm>
#include <cstdio>

namespace ppisim {
namespace {

// " V100.0 ts04 x1" (" T37 ts1F x1" for a timer): area, address,
// transport size and count of an item.
std::string DescribeItem(const ItemSpec& item) {
    char part[64];
    if (IsTimerCounterItem(item)) {  // addressed by number
        std::snprintf(part, sizeof part, " %c%u ts%02X x%u", item.areaCode == kAreaCodeT ? 'T' : 'C',
                      item.bitAddress, item.transportSize, item.count);
        return part;
    }
    const auto area = AreaOfCode(item.areaCode);
    std::snprintf(part, sizeof part, " %s%u.%u ts%02X x%u", area ? std::string(NameOf(*area)).c_str() : "?",
                  item.bitAddress / 8, item.bitAddress % 8, item.transportSize, item.count);
    return part;
}

std::string Describe(const char* what, const Job& job) {
    std::string text = what;
    for (const ItemSpec& item : job.items) text += DescribeItem(item);
    return text;
}

// A read of several items, each with what it got: "read 2 items: 1 V0.0
// ts04 x1 ok, 2 V9000.0 ts04 x1 refused 0a".
std::string DescribeItems(const Job& job, const std::vector<DataItem>& answers) {
    std::string text = "read " + std::to_string(job.items.size()) + " items:";
    for (std::size_t i = 0; i < job.items.size(); ++i) {
        char result[16];
        if (answers[i].accessResult == kAccessGranted) {
            std::snprintf(result, sizeof result, " ok");
        } else {
            std::snprintf(result, sizeof result, " refused %02x", answers[i].accessResult);
        }
        text += (i > 0 ? ", " : " ") + std::to_string(i + 1) + DescribeItem(job.items[i]) + result;
    }
    return text;
}

// Why an item cannot be served from memory, or nothing when it can: the
// area, the transport size and the alignment of its address.
std::optional<std::uint8_t> Unservable(const ItemSpec& item) {
    if (ElementSizeOf(item.transportSize) == 0) return kAccessTypeUnsupported;
    if (!AreaOfCode(item.areaCode) || item.count == 0) return kAccessObjectMissing;
    if (item.transportSize != kTransportBit && item.bitAddress % 8 != 0) return kAccessObjectMissing;
    return std::nullopt;
}

// The bytes a write item touches, for the read-only test.
std::size_t WrittenBytes(const ItemSpec& item) {
    if (item.transportSize == kTransportBit) return (item.bitAddress % 8 + item.count + 7) / 8;
    return std::size_t{item.count} * ElementSizeOf(item.transportSize);
}

}  // namespace

bool IsMemoryJob(std::span<const std::uint8_t> message) {
    const auto job = DecodeJob(message);
    return job && job->function != kFunctionSetup;
}

std::size_t Station::messageLimit() const {
    return std::min<std::size_t>(pduInForce_, kMaxSd2Data);
}

Bytes Station::refuseOversize(const Job& job, const char* what, std::size_t length) {
    lastJob_ += "; refused, " + std::string(what) + " of " + std::to_string(length) +
                " bytes over the limit of " + std::to_string(messageLimit()) + " (PDU " +
                std::to_string(pduInForce_) + ", LE " + std::to_string(kMaxLe) + ")";
    return EncodeErrorResponse(job.reference, kErrorClassSupplies, kErrorCodePduSize);
}

Bytes Station::execute(std::span<const std::uint8_t> message,
                       std::optional<std::uint8_t> refuseWith) {
    std::string why;
    const auto job = DecodeJob(message, &why);
    if (!job) {
        lastJob_ = "unusable job (" + why + ")";
        return EncodeErrorResponse(ReferenceOf(message), kErrorClassRequest, kErrorCodeRequest);
    }
    if (job->function == kFunctionSetup) {
        pduInForce_ = NegotiatedPdu(*job, pduOffered_);
        lastJob_ = "set up communication, PDU " + std::to_string(pduInForce_);
        return EncodeSetupResponse(*job, pduInForce_);
    }
    // What the CPU changed by itself since the last job.
    const std::chrono::duration<double> running = std::chrono::steady_clock::now() - started_;
    ApplyCpuMotion(memory_, motions_, running.count());
    ApplyTimerMotions(memory_.timerCounters(), timerMotions_, running.count());
    const bool read = job->function == kFunctionRead;
    lastJob_ = Describe(read ? "read" : "write", *job);
    if (message.size() > messageLimit()) return refuseOversize(*job, "request", message.size());
    Bytes response = read ? executeRead(*job, refuseWith) : executeWrite(*job, refuseWith);
    if (response.size() > messageLimit()) return refuseOversize(*job, "answer", response.size());
    return response;
}

DataItem Station::readItem(const ItemSpec& item) {
    if (IsTimerCounterItem(item)) return ReadTimerCounterItem(memory_.timerCounters(), item);
    DataItem out;
    if (auto refusal = Unservable(item)) {
        out.accessResult = *refusal;
        return out;
    }
    const Area area = *AreaOfCode(item.areaCode);
    if (item.transportSize == kTransportBit) {
        out.dataType = kDataBit;
        for (std::size_t i = 0; i < item.count; ++i) {
            bool bit = false;
            if (!memory_.readBit(area, item.bitAddress + i, bit)) return {kAccessObjectMissing, 0, {}};
            out.values.push_back(bit ? 1 : 0);
        }
        return out;
    }
    out.values.resize(std::size_t{item.count} * ElementSizeOf(item.transportSize));
    if (!memory_.read(area, item.bitAddress / 8, out.values)) return {kAccessObjectMissing, 0, {}};
    return out;
}

Bytes Station::executeRead(const Job& job, std::optional<std::uint8_t> refuseWith) {
    std::vector<DataItem> items;
    for (const ItemSpec& item : job.items)
        items.push_back(refuseWith ? DataItem{*refuseWith, 0, {}} : readItem(item));
    if (items.size() > 1) lastJob_ = DescribeItems(job, items);
    return EncodeReadResponse(job.reference, items);
}

std::uint8_t Station::writeItem(const ItemSpec& item, const DataItem& data) {
    if (IsTimerCounterItem(item)) return WriteTimerCounterItem(item);
    if (auto refusal = Unservable(item)) return *refusal;
    const Area area = *AreaOfCode(item.areaCode);
    const std::size_t expected = std::size_t{item.count} * ElementSizeOf(item.transportSize);
    if (data.values.size() != expected) return kAccessDataInconsistent;
    if (StationMemory::readOnly(area, item.bitAddress / 8, WrittenBytes(item))) return kAccessNotAllowed;
    if (item.transportSize == kTransportBit) {
        if (!memory_.contains(area, (item.bitAddress + item.count - 1) / 8, 1))
            return kAccessObjectMissing;
        for (std::size_t i = 0; i < item.count; ++i)
            memory_.writeBit(area, item.bitAddress + i, data.values[i] & 1);
        return kAccessGranted;
    }
    return memory_.write(area, item.bitAddress / 8, data.values) ? kAccessGranted
                                                                 : kAccessObjectMissing;
}

Bytes Station::executeWrite(const Job& job, std::optional<std::uint8_t> refuseWith) {
    Bytes results;
    for (std::size_t i = 0; i < job.items.size(); ++i)
        results.push_back(refuseWith ? *refuseWith : writeItem(job.items[i], job.data[i]));
    return EncodeWriteResponse(job.reference, results);
}

}  // namespace ppisim
