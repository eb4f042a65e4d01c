// The settings of the driver's station in a PPI token ring (the
// initialization file's MULTIMASTER line) and the times that follow from
// them at a line's baud rate.
#pragma once

#include <cstdint>

namespace plclink {

inline constexpr std::uint32_t kHighestStationAddress = 126;
inline constexpr std::uint32_t kDefaultHsa = 31;
inline constexpr std::uint32_t kDefaultGapFactor = 10;
// Slot time in bit times when the file gives none: 100 up to 19200 baud,
// 400 above (187500 baud: the bytes of an answer come through the UART and
// the operating system's buffering in whole milliseconds, 400 bits = 2.1 ms).
inline constexpr std::uint32_t kDefaultSlotBits = 100;
inline constexpr std::uint32_t kDefaultFastSlotBits = 400;
inline constexpr std::uint32_t kFastLineBaud = 19200;  // above it: the fast default
inline constexpr std::uint32_t kLongestSlotBits = 65535;
inline constexpr std::uint32_t kLargestGapFactor = 100;

struct RingSettings {
    bool enabled = false;
    std::uint8_t address = 0;
    std::uint8_t hsa = kDefaultHsa;
    std::uint32_t slotBits = 0;  // 0 = the default for the line's baud rate
    std::uint32_t gapFactor = kDefaultGapFactor;
};

// The times of a station with `settings` on a line of `baud`, each rounded
// up to whole milliseconds.
struct RingTiming {
    std::uint32_t slotBits;      // TSL in force
    std::uint32_t slotMs;        // TSL: the wait for the first byte of an answer
    std::uint32_t idleMs;        // bus idle before every frame, 33 bit times
    std::uint32_t lostTokenMs;   // (6 + 2 x address) x TSL of silence: the token is lost
    std::uint32_t rotationMs;    // target rotation time TTR
    std::uint32_t joinBoundMs;   // how long joining the ring may take
};

RingTiming RingTimingFor(const RingSettings& settings, std::uint32_t baud);

}  // namespace plclink
