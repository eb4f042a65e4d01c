// Bytes that go out over time rather than at once: a reply trickled one
// byte at a time, and a flood of noise at the line's full speed. The main
// loop asks when the next bytes are due, and hands the line over then.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>

#include "ppisim/frame.h"
#include "ppisim/line.h"
#include "ppisim/trace.h"

namespace ppisim {

class PacedOutput {
public:
    using Noise = std::function<Bytes(std::size_t)>;
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    PacedOutput(Line& line, Trace& trace, unsigned baud, Noise noise)
        : line_(line), trace_(trace), baud_(baud ? baud : 1), noise_(std::move(noise)) {}

    // Sends `bytes` one at a time, each `gapUs` after the one before, the
    // first `gapUs` after `nowUs`. Replaces a trickle under way.
    void trickle(Bytes bytes, std::int64_t gapUs, std::int64_t nowUs);
    // The master sends again: what is left of a trickle is not sent.
    void abandonTrickle(std::int64_t nowUs);

    // Streams noise at the line's speed from `nowUs` for `durationUs`, or
    // without end when it is 0. A flood under way is extended.
    void flood(std::int64_t nowUs, std::int64_t durationUs);
    bool flooding() const { return floodEndUs_ > 0; }

    // When bytes are next due (kNever: none).
    std::int64_t nextDueUs() const;
    // Sends what is due at `nowUs`.
    void service(std::int64_t nowUs);

private:
    void serviceTrickle(std::int64_t nowUs);
    void serviceFlood(std::int64_t nowUs);

    struct Trickle {
        Bytes bytes;
        std::size_t sent = 0;
        std::int64_t gapUs = 0;
        std::int64_t dueUs = 0;
    };

    Line& line_;
    Trace& trace_;
    unsigned baud_;
    Noise noise_;
    std::optional<Trickle> trickle_;
    std::int64_t floodStartUs_ = 0;
    std::int64_t floodEndUs_ = 0;  // 0: no flood; kNever: without end
    std::uint64_t floodSent_ = 0;
};

}  // namespace ppisim
