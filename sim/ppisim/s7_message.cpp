#include "ppisim/s7_message.h"

#include <algorithm>

namespace ppisim {
namespace {

constexpr std::size_t kJobHeaderSize = 10;
constexpr std::size_t kItemSpecSize = 12;
constexpr std::size_t kDataItemHead = 4;

std::uint16_t Be16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

void PutBe16(Bytes& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

bool Fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

Bytes AckDataHeader(std::uint16_t reference, std::size_t parLg, std::size_t datLg,
                    std::uint8_t errorClass = 0, std::uint8_t errorCode = 0) {
    Bytes out = {kProtocolId, kMessageAckData, 0x00, 0x00};
    PutBe16(out, reference);
    PutBe16(out, parLg);
    PutBe16(out, datLg);
    out.push_back(errorClass);
    out.push_back(errorCode);
    return out;
}

bool DecodeItems(std::span<const std::uint8_t> params, Job& job, std::string* why) {
    if (params.size() < 2) return Fail(why, "parameters too short");
    const std::size_t count = params[1];
    if (count == 0) return Fail(why, "no item");
    if (params.size() < 2 + count * kItemSpecSize) return Fail(why, "item specification cut short");
    for (std::size_t i = 0; i < count; ++i) {
        auto spec = params.subspan(2 + i * kItemSpecSize, kItemSpecSize);
        if (spec[0] != 0x12 || spec[1] != 0x0A || spec[2] != 0x10)
            return Fail(why, "item specification not in S7-200 syntax");
        ItemSpec item;
        item.transportSize = spec[3];
        item.count = Be16(spec, 4);
        item.dbNumber = Be16(spec, 6);
        item.areaCode = spec[8];
        item.bitAddress = static_cast<std::uint32_t>(spec[9] << 16 | spec[10] << 8 | spec[11]);
        job.items.push_back(item);
    }
    return true;
}

// Value bytes announced by a data item's head. The last item of a block is
// given every byte left instead (see DecodeWriteData).
std::size_t AnnouncedBytes(std::uint8_t dataType, std::size_t length) {
    switch (dataType) {
    case kDataBit: return length;  // one byte per bit
    case kDataOctets: return length;
    default: return (length + 7) / 8;
    }
}

bool DecodeWriteData(std::span<const std::uint8_t> data, Job& job, std::string* why) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < job.items.size(); ++i) {
        if (data.size() < at + kDataItemHead) return Fail(why, "data item cut short");
        DataItem item;
        item.accessResult = data[at];
        item.dataType = data[at + 1];
        const bool last = i + 1 == job.items.size();
        std::size_t length = AnnouncedBytes(item.dataType, Be16(data, at + 2));
        at += kDataItemHead;
        // The last item takes every remaining byte: a master that writes a
        // run of bits announces one bit but sends one byte per element.
        if (last) length = data.size() - at;
        if (data.size() < at + length) return Fail(why, "data item values cut short");
        item.values.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                           data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length + (length % 2);  // odd items are followed by a fill byte
        job.data.push_back(std::move(item));
    }
    return true;
}

}  // namespace

std::size_t ElementSizeOf(std::uint8_t transportSize) {
    switch (transportSize) {
    case kTransportBit:
    case kTransportByte:
    case kTransportChar: return 1;
    case kTransportWord:
    case kTransportInt: return 2;
    case kTransportDWord:
    case kTransportDInt:
    case kTransportReal: return 4;
    default: return 0;
    }
}

std::uint16_t ReferenceOf(std::span<const std::uint8_t> message) {
    return message.size() >= 6 ? Be16(message, 4) : 0;
}

std::optional<Job> DecodeJob(std::span<const std::uint8_t> message, std::string* why) {
    if (message.size() < kJobHeaderSize + 1) return Fail(why, "message too short"), std::nullopt;
    if (message[0] != kProtocolId) return Fail(why, "not an S7 message"), std::nullopt;
    if (message[1] != kMessageJob) return Fail(why, "not a job"), std::nullopt;
    Job job;
    job.reference = ReferenceOf(message);
    const std::size_t parLg = Be16(message, 6);
    const std::size_t datLg = Be16(message, 8);
    auto rest = message.subspan(kJobHeaderSize);
    job.function = rest[0];
    if (job.function == kFunctionSetup) {
        // Masters announce fewer parameter bytes than they send here; the
        // frame's length is what counts.
        job.parameters.assign(rest.begin(), rest.end());
        return job;
    }
    if (parLg + datLg != rest.size()) return Fail(why, "lengths disagree with the frame"), std::nullopt;
    auto params = rest.first(parLg);
    job.parameters.assign(params.begin(), params.end());
    if (job.function != kFunctionRead && job.function != kFunctionWrite)
        return Fail(why, "function not served"), std::nullopt;
    if (!DecodeItems(params, job, why)) return std::nullopt;
    if (job.function == kFunctionWrite && !DecodeWriteData(rest.subspan(parLg), job, why))
        return std::nullopt;
    return job;
}

namespace {

std::uint16_t SetupField(const Job& job, std::size_t at, std::uint16_t fallback) {
    return job.parameters.size() >= at + 2 ? Be16(job.parameters, at) : fallback;
}

}  // namespace

std::uint16_t NegotiatedPdu(const Job& job, std::uint16_t offered) {
    return std::min(SetupField(job, 6, offered), offered);
}

Bytes EncodeSetupResponse(const Job& job, std::uint16_t pdu) {
    auto field = [&](std::size_t at, std::uint16_t fallback) { return SetupField(job, at, fallback); };
    Bytes params = {kFunctionSetup, 0x00};
    PutBe16(params, field(2, 1));  // jobs the master may have open
    PutBe16(params, field(4, 1));  // jobs this controller takes at once
    PutBe16(params, pdu);
    Bytes out = AckDataHeader(job.reference, params.size(), 0);
    out.insert(out.end(), params.begin(), params.end());
    return out;
}

Bytes EncodeReadResponse(std::uint16_t reference, std::span<const DataItem> items) {
    Bytes data;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const DataItem& item = items[i];
        data.push_back(item.accessResult);
        if (item.accessResult != kAccessGranted) {
            data.insert(data.end(), {0x00, 0x00, 0x00});
            continue;
        }
        data.push_back(item.dataType);
        const std::size_t n = item.values.size();
        PutBe16(data, item.dataType == kDataBytes ? n * 8 : n);
        data.insert(data.end(), item.values.begin(), item.values.end());
        if (n % 2 && i + 1 < items.size()) data.push_back(0x00);
    }
    Bytes out = AckDataHeader(reference, 2, data.size());
    out.push_back(kFunctionRead);
    out.push_back(static_cast<std::uint8_t>(items.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes EncodeWriteResponse(std::uint16_t reference, std::span<const std::uint8_t> results) {
    Bytes out = AckDataHeader(reference, 2, results.size());
    out.push_back(kFunctionWrite);
    out.push_back(static_cast<std::uint8_t>(results.size()));
    out.insert(out.end(), results.begin(), results.end());
    return out;
}

Bytes EncodeErrorResponse(std::uint16_t reference, std::uint8_t errorClass, std::uint8_t errorCode) {
    return AckDataHeader(reference, 0, 0, errorClass, errorCode);
}

}  // namespace ppisim
