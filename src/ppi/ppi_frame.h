// PPI frame kinds, the station roles and function codes the driver uses,
// the layout of a received response frame, and the frame checksum.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plclink {

// Start bytes of the frame kinds, the single-byte acknowledgement and the
// end byte of every frame that carries a checksum.
inline constexpr std::uint8_t kSd1 = 0x10;   // 0x10 DA SA FC FCS 0x16
inline constexpr std::uint8_t kSd2 = 0x68;   // 0x68 LE LEr 0x68 DA SA FC data FCS 0x16
inline constexpr std::uint8_t kSd4 = 0xDC;   // 0xDC DA SA: the token is passed
inline constexpr std::uint8_t kSc = 0xE5;    // short acknowledgement
inline constexpr std::uint8_t kFrameEnd = 0x16;

// The driver is the master with station address 0.
inline constexpr std::uint8_t kMasterStation = 0x00;

// FDL control bytes. The frame-count bit of requests is never toggled.
inline constexpr std::uint8_t kFcAssociation = 0x6C;
inline constexpr std::uint8_t kFcRequest = 0x7C;
inline constexpr std::uint8_t kFcPoll = 0x5C;
inline constexpr std::uint8_t kFcResponse = 0x08;

// Frame parts.
inline constexpr std::size_t kSd1Length = 6;         // tSD1Hdr, the whole SD1 frame
inline constexpr std::size_t kSd2HdrLength = 7;      // tSD2Hdr
inline constexpr std::size_t kSd4Length = 3;         // tSD4Hdr
inline constexpr std::size_t kPpiRspHdrLength = 12;  // tPPIRspHdr

// Positions inside an SD2 frame.
inline constexpr std::size_t kDaOffset = 4;
inline constexpr std::size_t kSaOffset = 5;
inline constexpr std::size_t kFcOffset = 6;

// A received response frame: tSD2Hdr, tPPIRspHdr, then the parameter block
// (par_lg bytes) and the data block (dat_lg bytes), then FCS and end byte.
inline constexpr std::size_t kRspHdrOffset = kSd2HdrLength;                    // 7
inline constexpr std::size_t kParamsOffset = kRspHdrOffset + kPpiRspHdrLength; // 19
// A request frame's parameter block follows tSD2Hdr and the 10-byte
// request header; its first byte is the S7 function.
inline constexpr std::size_t kRequestFunctionOffset = kSd2HdrLength + 10;     // 17
// The PDU reference sits at offset 4 of both the request header and
// tPPIRspHdr, so at the same frame position in a request and its response.
inline constexpr std::size_t kReferenceOffset = kSd2HdrLength + 4;            // 11
// Bytes of a response frame besides its parameters and data.
inline constexpr std::size_t kResponseOverhead = kParamsOffset + 2;            // 21

// Big-endian 16-bit value at `bytes`.
inline std::uint16_t Big16At(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

// par_lg and dat_lg of the tPPIRspHdr in a response frame.
inline std::uint16_t ParLgOf(const std::uint8_t* frame) { return Big16At(frame + kRspHdrOffset + 6); }
inline std::uint16_t DatLgOf(const std::uint8_t* frame) { return Big16At(frame + kRspHdrOffset + 8); }

// FCS: the sum modulo 256 of the frame bytes from DA through the last data
// byte.
std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count);

}  // namespace plclink
