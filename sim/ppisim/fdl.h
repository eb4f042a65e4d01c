// The FDL frames of a bus with several masters, beside the S7 jobs: the
// status request and its reply, the token, the frame length a station takes,
// and the read job a simulated master sends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ppisim/frame.h"
#include "ppisim/memory.h"

namespace ppisim {

// FDL status request: SD1, FC 0x49 (request, function 9, FCB/FCV off).
inline constexpr std::uint8_t kFcStatusRequest = 0x49;
// The status reply's FC: the station type in bits 5-4, status 0 (OK).
inline constexpr std::uint8_t kStatusSlave = 0x00;
inline constexpr std::uint8_t kStatusMasterNotReady = 0x10;
inline constexpr std::uint8_t kStatusMasterReady = 0x20;
inline constexpr std::uint8_t kStatusMasterInRing = 0x30;

// A full PROFIBUS frame: LE up to 255, as some stations take.
inline constexpr std::size_t kFullFrameLe = 255;

bool IsStatusRequest(const Frame& frame);
// An SD1 frame without the request bit whose FC is one of the four station
// types with status OK.
bool IsStatusReply(const Frame& frame);
// "slave", "master not ready", "master ready to enter the ring",
// "master in the ring", with the FC in hex.
std::string StatusMeaning(std::uint8_t fc);

// True for an SD2 frame whose LE is above `maxLe`.
bool ExceedsLe(const Frame& frame, std::size_t maxLe);

Bytes EncodeStatusRequest(std::uint8_t da, std::uint8_t sa);

// The S7 job that reads `count` bytes of `area` from byte `start`.
Bytes EncodeReadJob(std::uint16_t reference, Area area, std::uint16_t start, std::uint16_t count);
std::uint8_t AreaCodeOf(Area area);

// True when `message` answers a read with every item's access granted.
bool IsGoodReadAnswer(std::span<const std::uint8_t> message);

// The frame in `bytes` when they hold exactly one intact frame; an SC is
// reported through `isSc`.
std::optional<Frame> DecodeWholeFrame(const Bytes& bytes, bool* isSc);

}  // namespace ppisim
