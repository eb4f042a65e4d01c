#include "fdl/ring_settings.h"

namespace plclink {
namespace {

constexpr std::uint64_t kBusIdleBits = 33;
// A status request (six characters of 11 bits) and its answer's slot.
constexpr std::uint64_t kStatusRequestBits = 6 * 11;
// The target rotation time of the S7-200 grows with HSA: 2055 + 255 x HSA bit
// times gives both of its published values at 9600 baud (HSA 15: 0.613 s,
// HSA 63: 1.89 s).
constexpr std::uint64_t kRotationBaseBits = 2055;
constexpr std::uint64_t kRotationBitsPerAddress = 255;

std::uint32_t BitsToMs(std::uint64_t bits, std::uint32_t baud) {
    const std::uint64_t ms = (bits * 1000 + baud - 1) / baud;
    return ms == 0 ? 1 : static_cast<std::uint32_t>(ms > UINT32_MAX ? UINT32_MAX : ms);
}

}  // namespace

RingTiming RingTimingFor(const RingSettings& settings, std::uint32_t baud) {
    if (baud == 0) baud = 9600;
    RingTiming timing{};
    timing.slotBits = settings.slotBits != 0 ? settings.slotBits
                      : baud > kFastLineBaud ? kDefaultFastSlotBits
                                             : kDefaultSlotBits;
    const std::uint64_t slot = timing.slotBits;
    const std::uint64_t rotation = kRotationBaseBits + kRotationBitsPerAddress * settings.hsa;
    const std::uint64_t lostToken = (6 + 2 * std::uint64_t{settings.address}) * slot;
    // Two rotations of listening, then the others' gap update (GAP x TTR)
    // and one status request with its slot for each address up to HSA; a
    // station alone on the line claims the token after its lost-token time.
    const std::uint64_t join = 2 * rotation + settings.gapFactor * rotation +
                               (std::uint64_t{settings.hsa} + 1) * (kStatusRequestBits + kBusIdleBits + slot) +
                               lostToken;
    timing.slotMs = BitsToMs(slot, baud);
    timing.idleMs = BitsToMs(kBusIdleBits, baud);
    timing.lostTokenMs = BitsToMs(lostToken, baud);
    timing.rotationMs = BitsToMs(rotation, baud);
    timing.joinBoundMs = BitsToMs(join, baud);
    return timing;
}

}  // namespace plclink
