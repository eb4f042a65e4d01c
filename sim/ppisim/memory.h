// The memory of one controller: the process images of the inputs (I) and
// outputs (Q), the flags (M) and the variable memory (V), each a plain array
// of bytes of its own size. Every access is checked against the area's size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ppisim/frame.h"

namespace ppisim {

enum class Area : std::uint8_t { I, Q, M, V };
inline constexpr std::size_t kAreaCount = 4;

// Area codes of the S7 item specification.
inline constexpr std::uint8_t kAreaCodeI = 0x81;
inline constexpr std::uint8_t kAreaCodeQ = 0x82;
inline constexpr std::uint8_t kAreaCodeM = 0x83;
inline constexpr std::uint8_t kAreaCodeV = 0x84;

std::optional<Area> AreaOfCode(std::uint8_t code);
std::optional<Area> AreaOfLetter(char letter);  // upper or lower case
char LetterOf(Area area);

struct AreaSizes {
    std::size_t i = 16;
    std::size_t q = 16;
    std::size_t m = 32;
    std::size_t v = 10240;
    std::size_t of(Area area) const;
};

class StationMemory {
public:
    explicit StationMemory(const AreaSizes& sizes);

    std::size_t size(Area area) const { return areas_[Index(area)].size(); }
    // True when `count` bytes from `address` lie inside the area.
    bool contains(Area area, std::size_t address, std::size_t count) const;

    // Each access returns false, and changes nothing, when it leaves the area.
    bool read(Area area, std::size_t address, std::span<std::uint8_t> out) const;
    bool write(Area area, std::size_t address, std::span<const std::uint8_t> values);
    bool readBit(Area area, std::size_t bitAddress, bool& value) const;
    bool writeBit(Area area, std::size_t bitAddress, bool value);

    std::span<const std::uint8_t> bytes(Area area) const { return areas_[Index(area)]; }

private:
    static std::size_t Index(Area area) { return static_cast<std::size_t>(area); }
    std::array<Bytes, kAreaCount> areas_;
};

}  // namespace ppisim
