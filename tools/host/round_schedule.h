// When the monitor's polling rounds start: one every period, counted from
// the start of the first. A round that runs past the start of the next one
// is followed at once, and the period is counted again from there, so a
// slow line is polled back to back rather than in bursts that catch up.
#pragma once

#include <chrono>

namespace plclink::host {

class RoundSchedule {
public:
    using Clock = std::chrono::steady_clock;

    RoundSchedule(Clock::duration period, Clock::time_point firstStart);

    // The round that started at `start()` ended at `end`: returns when the
    // next one starts.
    Clock::time_point next(Clock::time_point end);

    Clock::time_point start() const { return start_; }
    // How long the last finished round took, and whether it ran past the
    // start of the next.
    Clock::duration lastRound() const { return lastRound_; }
    bool lastOverran() const { return lastOverran_; }
    long overruns() const { return overruns_; }

private:
    Clock::duration period_;
    Clock::time_point start_;
    Clock::duration lastRound_{};
    bool lastOverran_ = false;
    long overruns_ = 0;
};

}  // namespace plclink::host
