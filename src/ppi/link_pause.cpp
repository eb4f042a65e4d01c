#include "ppi/link_pause.h"

#include <algorithm>

namespace plclink {
namespace {

// Bits per character on the line: start, 8 data, parity, stop.
constexpr std::uint64_t kBitsPerByte = 11;
// A re-poll puts the six-byte poll and the one-byte SC on the line.
constexpr std::uint64_t kPollAndScBytes = 7;
// RTS is raised 1 ms before each frame goes out.
constexpr std::uint32_t kRtsLeadMs = 1;

std::uint32_t CeilDiv(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint32_t>((a + b - 1) / b);
}

}  // namespace

std::uint32_t BusIdleMs(std::uint32_t baud) {
    if (baud == 0) return kClassicPauseMs;
    return std::max<std::uint32_t>(1, CeilDiv(std::uint64_t{kBusIdleBits} * 1000, baud));
}

std::uint32_t PauseInForce(std::uint32_t requestedMs, std::uint32_t baud) {
    if (requestedMs == 0 || requestedMs >= kClassicPauseMs) return kClassicPauseMs;
    return std::min(kClassicPauseMs, std::max(requestedMs, BusIdleMs(baud)));
}

LinkPause LinkPauseFor(std::uint32_t requestedMs, std::uint32_t baud, std::uint32_t readTimeoutMs) {
    LinkPause pause;
    pause.pauseMs = PauseInForce(requestedMs, baud);
    if (pause.pauseMs >= kClassicPauseMs || baud == 0) return pause;
    const std::uint32_t pollMs =
        pause.pauseMs + kRtsLeadMs + CeilDiv(kPollAndScBytes * kBitsPerByte * 1000, baud);
    pause.busyPolls = readTimeoutMs / pollMs;
    return pause;
}

}  // namespace plclink
