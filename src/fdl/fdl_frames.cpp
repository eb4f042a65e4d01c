#include "fdl/fdl_frames.h"

namespace plclink {
namespace {

// Bit 7 of an address byte marks an address extension (SAP), not the station.
constexpr std::uint8_t kAddressMask = 0x7F;

}  // namespace

std::uint8_t FdlChecksum(const std::uint8_t* bytes, std::uint32_t count) {
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return sum;
}

void BuildToken(std::uint8_t to, std::uint8_t from, std::uint8_t (&frame)[kTokenLength]) {
    frame[0] = kFdlSd4;
    frame[1] = to;
    frame[2] = from;
}

void BuildSd1(std::uint8_t to, std::uint8_t from, std::uint8_t fc,
              std::uint8_t (&frame)[kSd1FrameLength]) {
    frame[0] = kFdlSd1;
    frame[1] = to;
    frame[2] = from;
    frame[3] = fc;
    frame[4] = FdlChecksum(frame + 1, 3);
    frame[5] = kFdlEnd;
}

FdlFrame ClassifySd1(const std::uint8_t (&frame)[kSd1FrameLength]) {
    FdlFrame out;
    if (frame[5] != kFdlEnd || FdlChecksum(frame + 1, 3) != frame[4]) {
        out.kind = FdlFrame::Kind::kBroken;
        return out;
    }
    out.da = frame[1] & kAddressMask;
    out.sa = frame[2] & kAddressMask;
    out.fc = frame[3];
    out.hasSource = true;
    if (out.fc == kFcStatusRequest) {
        out.kind = FdlFrame::Kind::kStatusRequest;
    } else if ((out.fc & kFcRequestBit) == 0 && (out.fc & 0x0F) == 0) {
        out.kind = FdlFrame::Kind::kStatusReply;
    } else {
        out.kind = FdlFrame::Kind::kOther;
    }
    return out;
}

}  // namespace plclink
