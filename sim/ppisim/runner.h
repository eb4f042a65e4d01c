// The simulator's main loop: reads what the master sends on the line, cuts
// it into frames, lets the bus react and sends the reactions, until it is
// told to stop or its time is up.
#pragma once

#include <csignal>
#include <cstdint>

#include "ppisim/bus.h"
#include "ppisim/frame.h"
#include "ppisim/line.h"
#include "ppisim/trace.h"

namespace ppisim {

struct RunOptions {
    unsigned baud = 9600;
    // Pace sent bytes, and wait out received ones, as a line at `baud` with
    // 11 bits per byte (start, 8 data, parity, stop) would.
    bool lineSpeed = false;
    double exitAfterSeconds = 0;  // 0 = run until stopped
    // Every reply goes out this much later, as over a slow network.
    std::uint32_t latencyMs = 0;
    // Frames with a larger LE are ignored, as a PROFIBUS station ignores
    // what it cannot take (kMaxLe = 249; kFullFrameLe = 255 takes all).
    std::size_t maxLe = kMaxLe;
};

// A partial frame older than this is line noise, not the start of a frame.
inline constexpr std::int64_t kStaleFrameUs = 200000;

// Microseconds that `bytes` take on a line at `baud`.
std::int64_t LineTimeUs(std::size_t bytes, unsigned baud);

// Runs until `*stop` becomes non-zero or the time is up; 0 when ended so,
// 1 when the line failed.
int Run(Line& line, Bus& bus, const RunOptions& options, Trace& trace,
        const volatile std::sig_atomic_t* stop);

}  // namespace ppisim
