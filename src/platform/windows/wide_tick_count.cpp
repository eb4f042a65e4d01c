#include "platform/windows/wide_tick_count.h"

namespace plclink::windows_platform {

std::uint64_t WideTickCount::Widen(std::uint32_t ticks) {
    std::uint64_t last = last_.load(std::memory_order_acquire);
    for (;;) {
        if (last == kNone) {
            if (last_.compare_exchange_weak(last, ticks, std::memory_order_acq_rel)) return ticks;
            continue;
        }
        // How far the count has gone on since the last value, across a wrap.
        const std::uint32_t ahead = ticks - static_cast<std::uint32_t>(last);
        if (ahead >= 0x80000000u) return last - (static_cast<std::uint32_t>(last) - ticks);  // read earlier
        if (ahead == 0) return last;
        if (last_.compare_exchange_weak(last, last + ahead, std::memory_order_acq_rel)) return last + ahead;
    }
}

}  // namespace plclink::windows_platform
