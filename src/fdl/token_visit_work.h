// Work that a command hands to the station: it runs inside one of the
// station's token visits, on the station's thread, with the line's read
// time-out set to the slot time.
#pragma once

#include <cstdint>

namespace plclink {

// The timing a piece of work keeps inside a token visit.
struct VisitTiming {
    std::uint32_t idleMs;  // the pause before each frame: the bus idle time
    std::uint32_t slotMs;  // the read time-out in force: the slot time
    std::uint32_t baud;    // the line's baud rate
};

struct TokenVisitWork {
    // Runs the work; its result is handed back to the command as it is.
    int (*run)(void* context, const VisitTiming& timing);
    void* context;
};

// Results of a hand-off besides the work's own.
inline constexpr int kVisitSilent = 2;     // no token visit came in time
inline constexpr int kVisitNotInRing = 4;  // the station is not in the ring

}  // namespace plclink
