// The FDL frames a station of the token ring sends and tells apart: the
// token (SD4), the status request and its reply (SD1), and every other frame
// by its kind, destination and source.
#pragma once

#include <cstdint>

namespace plclink {

inline constexpr std::uint8_t kFdlSd1 = 0x10;
inline constexpr std::uint8_t kFdlSd2 = 0x68;
inline constexpr std::uint8_t kFdlSd4 = 0xDC;
inline constexpr std::uint8_t kFdlSc = 0xE5;
inline constexpr std::uint8_t kFdlEnd = 0x16;
inline constexpr std::uint32_t kTokenLength = 3;
inline constexpr std::uint32_t kSd1FrameLength = 6;

// FC of a status request: a request (bit 6), function 9, FCB and FCV off.
inline constexpr std::uint8_t kFcStatusRequest = 0x49;
inline constexpr std::uint8_t kFcRequestBit = 0x40;
// A status reply's FC: station type in bits 5-4, status 0 (OK) in bits 3-0.
inline constexpr std::uint8_t kStationSlave = 0x00;
inline constexpr std::uint8_t kMasterNotReady = 0x10;
inline constexpr std::uint8_t kMasterReady = 0x20;
inline constexpr std::uint8_t kMasterInRing = 0x30;
inline constexpr std::uint8_t kStationTypeMask = 0x30;

struct FdlFrame {
    enum class Kind {
        kNone,           // nothing arrived in time
        kToken,
        kStatusRequest,
        kStatusReply,    // an SD1 answer with status OK (bits 3-0 zero)
        kOther,          // any other complete frame, or a lone SC
        kBroken,         // an unknown start byte or a frame cut short
    };
    Kind kind = Kind::kNone;
    std::uint8_t da = 0;
    std::uint8_t sa = 0;
    std::uint8_t fc = 0;
    bool hasSource = false;  // da and sa were read (not a lone SC or broken)
};

std::uint8_t FdlChecksum(const std::uint8_t* bytes, std::uint32_t count);

void BuildToken(std::uint8_t to, std::uint8_t from, std::uint8_t (&frame)[kTokenLength]);
// A status request to `to`, or the reply `fc` to it.
void BuildSd1(std::uint8_t to, std::uint8_t from, std::uint8_t fc,
              std::uint8_t (&frame)[kSd1FrameLength]);

// What an SD1 frame (all six bytes) or an SD2 header (DA, SA, FC) says.
FdlFrame ClassifySd1(const std::uint8_t (&frame)[kSd1FrameLength]);

}  // namespace plclink
