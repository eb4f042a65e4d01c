#include "round_schedule.h"

namespace plclink::host {

RoundSchedule::RoundSchedule(Clock::duration period, Clock::time_point firstStart)
    : period_(period), start_(firstStart) {}

RoundSchedule::Clock::time_point RoundSchedule::next(Clock::time_point end) {
    lastRound_ = end - start_;
    Clock::time_point due = start_ + period_;
    // A zero period asks for rounds back to back: that is no overrun.
    lastOverran_ = period_ > Clock::duration::zero() && end > due;
    if (lastOverran_) ++overruns_;
    start_ = end > due ? end : due;
    return start_;
}

}  // namespace plclink::host
