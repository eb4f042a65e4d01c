// Sending one frame and receiving an exact number of bytes on a line, with
// the link's result codes.
#pragma once

#include <cstdint>

#include "core/line_config.h"

namespace plclink {

// Results of the link steps and of PpiExchange.
inline constexpr int kLinkDone = 0;
inline constexpr int kLinkBroken = 1;  // part of a frame, or a foreign frame
inline constexpr int kLinkSilent = 2;  // not a single byte went out or came in
// PpiExchange only: the station answered that it is busy (busy_answer.h).
inline constexpr int kLinkBusy = 3;

// Sends `length` bytes with RTS raised around them: 0 sent, 1 only part
// written, 2 nothing written (also when the line keeps sending while the
// stale input is discarded first).
int SendFrame(LineHandle line, const std::uint8_t* bytes, std::uint32_t length);

// Reads exactly `count` bytes: 0 all arrived, 1 some arrived, 2 none.
int ReceiveExact(LineHandle line, std::uint8_t* buffer, std::uint32_t count);

}  // namespace plclink
