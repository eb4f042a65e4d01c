// How many value bytes one read or write carries to a real S7-200, and how
// the figures follow from the controller's limits.
//
// The controller takes S7 messages of at most 240 bytes (the PDU size it
// offers when communication is set up), and as a PROFIBUS station it takes
// and sends SD2 frames with LE 4..249; LE counts DA, SA and FC and the S7
// message, so one frame carries a message of at most 249 - 3 = 246 bytes.
// The smaller of the two bounds a message: 240 bytes.
//
//   read answer   12 (header) + 2 (function, item count) + 4 (data item
//                 head) + values          -> at most 240 - 18 = 222 bytes
//   write request 10 (header) + 14 (function, item count, item
//                 specification) + 4 (data item head) + values
//                                         -> at most 240 - 28 = 212 bytes
//
// The other two messages are small: a read request is 24 bytes, a write
// answer 15. A block of words or double words holds the whole elements that
// fit: 111 words or 55 double words read, 106 words or 53 double words
// written.
//
// The module itself builds frames up to LE 255 (234 bytes read, 224 written)
// for stations that take full frames.
#pragma once

#include <algorithm>

namespace plclink::host {

// The S7-200's PDU size and the largest LE of a PROFIBUS frame.
inline constexpr int kS7200PduSize = 240;
inline constexpr int kProfibusMaxLe = 249;
// LE counts DA, SA and FC before the S7 message.
inline constexpr int kLeAddressAndFc = 3;

// The bytes around the values in the two messages that carry them.
inline constexpr int kReadAnswerOverhead = 12 + 2 + 4;
inline constexpr int kWriteRequestOverhead = 10 + 14 + 4;

// The longest S7 message one exchange with an S7-200 may carry.
inline constexpr int kMaxS7200Message = std::min(kS7200PduSize, kProfibusMaxLe - kLeAddressAndFc);

// Largest block of value bytes in one read (222) and one write (212).
inline constexpr int kMaxReadBlockBytes = kMaxS7200Message - kReadAnswerOverhead;
inline constexpr int kMaxWriteBlockBytes = kMaxS7200Message - kWriteRequestOverhead;

// The same for a station that takes full frames (LE up to 255): what the
// module itself allows.
inline constexpr int kFullFrameMaxLe = 255;
inline constexpr int kFullFrameReadBytes = kFullFrameMaxLe - kLeAddressAndFc - kReadAnswerOverhead;
inline constexpr int kFullFrameWriteBytes = kFullFrameMaxLe - kLeAddressAndFc - kWriteRequestOverhead;

static_assert(kMaxReadBlockBytes == 222 && kMaxWriteBlockBytes == 212);
static_assert(kFullFrameReadBytes == 234 && kFullFrameWriteBytes == 224);

// Whole elements of `elementBytes` (1, 2 or 4) in `blockBytes`.
constexpr int ElementsThatFit(int blockBytes, int elementBytes) { return blockBytes / elementBytes; }

}  // namespace plclink::host
