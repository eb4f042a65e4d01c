// The pause the driver leaves on the line before each request and between
// the SC acknowledgement and the poll, and how often a busy station is
// polled again. The classic timing is 40 ms for both pauses with no
// re-polling; an instance may ask for a shorter pause, which is never let
// below the bus idle time of the line (33 bit times).
#pragma once

#include <cstdint>

namespace plclink {

inline constexpr std::uint32_t kClassicPauseMs = 40;
inline constexpr std::uint32_t kBusIdleBits = 33;

struct LinkPause {
    std::uint32_t pauseMs = kClassicPauseMs;
    // How often an SC that answers the poll may be met with another poll;
    // 0 = never (the classic behaviour: the exchange fails).
    std::uint32_t busyPolls = 0;
};

// The bus idle time at `baud`, in whole milliseconds rounded up (at least 1).
std::uint32_t BusIdleMs(std::uint32_t baud);

// The pause in force for a requested one: 0 (none requested) and anything
// from 40 up give 40; a shorter one is raised to the bus idle time at `baud`.
std::uint32_t PauseInForce(std::uint32_t requestedMs, std::uint32_t baud);

// The pause and the busy re-polls for an instance: re-polling only with a
// pause shorter than 40 ms, as many polls as fit into `readTimeoutMs` with
// their pause and their time on the line (poll and SC).
LinkPause LinkPauseFor(std::uint32_t requestedMs, std::uint32_t baud, std::uint32_t readTimeoutMs);

}  // namespace plclink
