// The S7 messages carried in the data field of the SD2 frames: the three
// requests the driver sends, the check of every response, and the decoding
// of a read response into the host's buffer. Each takes the call block of
// the running command (its VpiInstance and its TagAccessRecord).
#pragma once

#include <cstdint>

#include "plclink/vpi.h"

namespace plclink {

struct VpiInstance;

// One request frame carries at most 255 bytes from DA on (LE is one byte),
// so a write carries at most 224 value bytes; one response frame carries at
// most 234 value bytes.
inline constexpr std::int32_t kMaxFrameLe = 255;
inline constexpr std::int32_t kWriteRequestLeBase = 31;  // LE without values
inline constexpr std::int32_t kMaxReadValueBytes = 234;

// The bit address is 24 bits wide: the highest byte address it reaches.
inline constexpr std::int64_t kMaxByteAddress = 0xFFFFFF / 8;

// Where a write takes its values from the host's buffer. By count: a count
// of 1 is a single value (from valueSlot, a double word from the buffer
// start), more are a block. Block: the elements from the buffer start
// whatever the count, as a block read stores them.
enum class ValueLayout { kByCount, kBlock };

// Function codes of the S7 parameter block, the same in a request and in
// the response that answers it.
inline constexpr std::uint8_t kFunctionSetup = 0xF0;
inline constexpr std::uint8_t kFunctionRead = 0x04;
inline constexpr std::uint8_t kFunctionWrite = 0x05;

// Item specification codes: transport size by element size in bits (byte,
// word, double word), area code by memArea ('I' 'Q' 'M' 'V' and the VPI_AREA_ values, else 0).
// A read of timers or counters takes their area code as its transport size.
inline constexpr std::uint8_t kTransportBit = 0x01;
std::uint8_t TransportSizeOf(std::uint8_t memAreaBits);
std::uint8_t AreaCodeOf(std::uint8_t memArea);

// Bytes per value of a read (a 1-bit size reads a byte) and of a write
// (every bit tag writes one byte). 0 or 3 come out for sizes the builder or
// the decoder then rejects.
std::int32_t ReadItemSize(std::uint8_t memAreaBits);
std::int32_t WriteItemSize(const TagAccessRecord& record);

// The PDU reference of the next read or write request: the instance's
// counter moved on.
std::uint16_t NextPduReference(VpiInstance& instance);

// Builders: write txFrame and txLength (and requestFc); 0 built, 1 refused
// with a log line and nothing built.
int SetS7200EstablishAssociationReq(VpiCallBlock* callBlock);
int SetS7200RdReq(VpiCallBlock* callBlock, std::int32_t count);
int SetS7200WrReq(VpiCallBlock* callBlock, std::int32_t count,
                  ValueLayout layout = ValueLayout::kByCount);

// 0 when the response in rxFrame answers the request in txFrame and the
// controller granted the access; else 1 with a log line.
int CheckResponse(VpiCallBlock* callBlock);

// The first part of CheckResponse, for any response: its length, SD2 head
// and addresses, a clean S7 header, lengths that agree, LE and FCS. 0, or 1
// with a "Check Responed FAIL" line.
int CheckResponseFrame(const VpiInstance& instance);

// Part of CheckResponse: whether a read or write response is the answer to
// the request in txFrame (the same PDU reference and function, the sizes the
// request asked for), so that a late, replayed or misrouted answer is never
// taken for it. 0, or 1 with a "Check Responed FAIL" line. Other requests pass.
int MatchResponseToRequest(const VpiInstance& instance);

// Stores the values of a checked read response into the host's buffer:
// single values at valueSlot (or the buffer start for double words), blocks
// from the buffer start. 0, or 1 with a log line.
int GetS7200RdRsp(VpiCallBlock* callBlock, std::int32_t count);

}  // namespace plclink
