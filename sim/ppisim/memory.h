// The memory of one controller: the process images of the inputs (I) and
// outputs (Q), the flags (M), the variable memory (V), the sequence control
// relays (S), the special memory (SM) and the analog inputs and outputs (AI,
// AQ), each a plain array of bytes of its own size. Every access is checked
// against the area's size. Timers and counters are kept by number beside
// them (timer_counter.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ppisim/frame.h"
#include "ppisim/timer_counter.h"

namespace ppisim {

enum class Area : std::uint8_t { I, Q, M, V, S, SM, AI, AQ };
inline constexpr std::size_t kAreaCount = 8;
inline constexpr Area kAllAreas[kAreaCount] = {Area::I, Area::Q, Area::M,  Area::V,
                                              Area::S, Area::SM, Area::AI, Area::AQ};

// Area codes of the S7 item specification.
inline constexpr std::uint8_t kAreaCodeI = 0x81;
inline constexpr std::uint8_t kAreaCodeQ = 0x82;
inline constexpr std::uint8_t kAreaCodeM = 0x83;
inline constexpr std::uint8_t kAreaCodeV = 0x84;
inline constexpr std::uint8_t kAreaCodeS = 0x04;
inline constexpr std::uint8_t kAreaCodeSM = 0x05;
inline constexpr std::uint8_t kAreaCodeAI = 0x06;
inline constexpr std::uint8_t kAreaCodeAQ = 0x07;

// The system bytes SM0..SM29 a CPU sets and a master only reads.
inline constexpr std::size_t kReadOnlySmBytes = 30;

std::optional<Area> AreaOfCode(std::uint8_t code);
std::optional<Area> AreaOfName(std::string_view name);  // "I" .. "AQ", upper or lower case
std::string_view NameOf(Area area);

// A CPU 224's sizes, except V, which holds as much as any S7-200 has.
struct AreaSizes {
    std::size_t i = 16;
    std::size_t q = 16;
    std::size_t m = 32;
    std::size_t v = 10240;
    std::size_t s = 32;
    std::size_t sm = 550;
    std::size_t ai = 64;
    std::size_t aq = 64;
    std::size_t of(Area area) const;
};

class StationMemory {
public:
    explicit StationMemory(const AreaSizes& sizes);

    std::size_t size(Area area) const { return areas_[Index(area)].size(); }
    // True when `count` bytes from `address` lie inside the area.
    bool contains(Area area, std::size_t address, std::size_t count) const;
    // True when one of `count` bytes from `address` is one a master may not
    // write: SM0..SM29 and every analog input.
    static bool readOnly(Area area, std::size_t address, std::size_t count);

    // Each access returns false, and changes nothing, when it leaves the area.
    // Writes here are the CPU's own: they may change read-only bytes.
    bool read(Area area, std::size_t address, std::span<std::uint8_t> out) const;
    bool write(Area area, std::size_t address, std::span<const std::uint8_t> values);
    bool readBit(Area area, std::size_t bitAddress, bool& value) const;
    bool writeBit(Area area, std::size_t bitAddress, bool value);

    std::span<const std::uint8_t> bytes(Area area) const { return areas_[Index(area)]; }

    // Timers and counters, by number.
    TimerCounterValues& timerCounters() { return timerCounters_; }
    const TimerCounterValues& timerCounters() const { return timerCounters_; }

private:
    static std::size_t Index(Area area) { return static_cast<std::size_t>(area); }
    std::array<Bytes, kAreaCount> areas_;
    TimerCounterValues timerCounters_;
};

}  // namespace ppisim
