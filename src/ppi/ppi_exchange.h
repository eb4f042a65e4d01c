// One link exchange on the PPI line: the request goes out in an SD2 frame,
// the controller acknowledges with SC, the driver polls with SD1 and reads
// the controller's SD2 response.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ppi/link_pause.h"
#include "core/line_config.h"

namespace plclink {

// Pause before every request and between the SC acknowledgement and the poll,
// unless the instance asks for a shorter one (link_pause.h).
inline constexpr std::uint32_t kRequestPauseMs = kClassicPauseMs;
inline constexpr std::uint32_t kPollPauseMs = kClassicPauseMs;

// Sends `request` (an SD2 frame) and receives the response frame into
// `response`, which holds `responseCapacity` bytes (at least 21).
// `responseLength` is 0 until the exchange succeeds, then the frame's length.
// Returns 0 done, 1 a broken or foreign frame (or a partial send), 2 silence,
// 3 (kLinkBusy) the station answered busy; `response` then holds that answer.
// Log lines carry the prefix formed with `instanceNumber`. `pause` gives the
// pauses before the request and the poll, and the re-polls of a busy station.
int PpiExchange(LineHandle line, const std::uint8_t* request, std::int32_t requestLength,
                std::uint8_t* response, std::size_t responseCapacity,
                std::uint32_t* responseLength, std::int32_t instanceNumber,
                const LinkPause& pause = LinkPause{});

}  // namespace plclink
