#include "ppisim/fdl.h"

#include <cstdio>

#include "ppisim/s7_message.h"

namespace ppisim {

bool IsStatusRequest(const Frame& frame) {
    return frame.kind == FrameKind::SD1 && (frame.fc & 0x4F) == (kFcStatusRequest & 0x4F);
}

bool IsStatusReply(const Frame& frame) {
    return frame.kind == FrameKind::SD1 && (frame.fc & ~0x30) == 0;
}

std::string StatusMeaning(std::uint8_t fc) {
    const char* type = "slave";
    switch (fc & 0x30) {
    case kStatusMasterNotReady: type = "master not ready"; break;
    case kStatusMasterReady: type = "master ready to enter the ring"; break;
    case kStatusMasterInRing: type = "master in the ring"; break;
    default: break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s (0x%02X)", type, fc);
    return text;
}

bool ExceedsLe(const Frame& frame, std::size_t maxLe) {
    return frame.kind == FrameKind::SD2 && frame.raw.size() > 1 && frame.raw[1] > maxLe;
}

Bytes EncodeStatusRequest(std::uint8_t da, std::uint8_t sa) { return EncodeSD1(da, sa, kFcStatusRequest); }

std::uint8_t AreaCodeOf(Area area) {
    switch (area) {
    case Area::I: return kAreaCodeI;
    case Area::Q: return kAreaCodeQ;
    case Area::M: return kAreaCodeM;
    case Area::V: return kAreaCodeV;
    case Area::S: return kAreaCodeS;
    case Area::SM: return kAreaCodeSM;
    case Area::AI: return kAreaCodeAI;
    case Area::AQ: return kAreaCodeAQ;
    }
    return kAreaCodeV;
}

Bytes EncodeReadJob(std::uint16_t reference, Area area, std::uint16_t start, std::uint16_t count) {
    const std::uint32_t bit = std::uint32_t{start} * 8;
    const std::uint16_t db = area == Area::V ? 1 : 0;
    return {kProtocolId, kMessageJob, 0x00, 0x00,
            static_cast<std::uint8_t>(reference >> 8), static_cast<std::uint8_t>(reference),
            0x00, 0x0E, 0x00, 0x00,  // 14 parameter bytes, no data
            kFunctionRead, 0x01, 0x12, 0x0A, 0x10, kTransportByte,
            static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count),
            static_cast<std::uint8_t>(db >> 8), static_cast<std::uint8_t>(db), AreaCodeOf(area),
            static_cast<std::uint8_t>(bit >> 16), static_cast<std::uint8_t>(bit >> 8),
            static_cast<std::uint8_t>(bit)};
}

bool IsGoodReadAnswer(std::span<const std::uint8_t> message) {
    // Header of 12 (no error), function and item count, then the items.
    if (message.size() < 16 || message[0] != kProtocolId || message[1] != kMessageAckData) return false;
    if (message[10] != 0 || message[11] != 0 || message[12] != kFunctionRead) return false;
    return message[14] == kAccessGranted;
}

std::optional<Frame> DecodeWholeFrame(const Bytes& bytes, bool* isSc) {
    if (isSc) *isSc = bytes.size() == 1 && bytes[0] == kSC;
    FrameReader reader;
    reader.feed(bytes, 0);
    auto frame = reader.next();
    if (!frame || frame->raw.size() != bytes.size()) return std::nullopt;
    return frame;
}

}  // namespace ppisim
