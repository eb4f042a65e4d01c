// The parameters every master on one PPI bus shares, and the line times that
// follow from them. A bit time is 1 / baud; a character is 11 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace ppisim {

inline constexpr std::int64_t kNeverUs = std::numeric_limits<std::int64_t>::max();

struct BusParams {
    unsigned baud = 9600;
    unsigned hsa = 31;         // highest station address, inclusive
    unsigned slotBits = 100;   // slot time TSL
    unsigned gapFactor = 10;   // token rotations between two gap updates
    unsigned idleBits = 33;    // bus idle before every frame
    unsigned tokenPasses = 3;  // passes of the token before its receiver is dropped

    std::int64_t bitsUs(std::int64_t bits) const { return bits * 1000000 / (baud ? baud : 1); }
    std::int64_t lineUs(std::size_t bytes) const { return bitsUs(static_cast<std::int64_t>(bytes) * 11); }
    std::int64_t slotUs() const { return bitsUs(slotBits); }
    std::int64_t idleUs() const { return bitsUs(idleBits); }
    // Silence after which a master at `address` takes the token as lost.
    std::int64_t lostTokenUs(unsigned address) const { return (6 + 2 * std::int64_t{address}) * slotUs(); }
};

}  // namespace ppisim
