// GetTickCount's 32-bit milliseconds, which wrap after 49.7 days, widened to
// 64 bits. The command thread and the station's thread of the multi-master
// mode read the clock at once, and either may hand in a count read before
// the other's: the last widened value is kept in one atomic, and a count
// behind it is taken as read earlier, not as a wrap.
#pragma once

#include <atomic>
#include <cstdint>

namespace plclink::windows_platform {

class WideTickCount {
public:
    std::uint64_t Widen(std::uint32_t ticks);

private:
    static constexpr std::uint64_t kNone = ~std::uint64_t{0};
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
    std::atomic<std::uint64_t> last_{kNone};
};

}  // namespace plclink::windows_platform
