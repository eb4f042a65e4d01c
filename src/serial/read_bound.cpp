#include "serial/read_bound.h"

namespace plclink {
namespace {

constexpr std::uint64_t kBitsPerByte = 11;

std::uint64_t TotalTimeoutMs(const LineTimeouts& t, std::uint32_t count) {
    return t.readTotalConstant + std::uint64_t{t.readTotalMultiplier} * count;
}

}  // namespace

std::uint64_t ReadBoundMs(LineHandle handle, std::uint32_t count) {
    const PlatformOps& os = Platform();
    LineTimeouts timeouts{};
    const std::uint64_t timeout = os.getTimeouts(handle, &timeouts) ? TotalTimeoutMs(timeouts, count) : 0;
    LineState state{};
    if (!os.getLineState(handle, &state) || state.baudRate == 0) return timeout;
    const std::uint64_t lineBits = 2 * std::uint64_t{count} * kBitsPerByte * 1000;
    return timeout + (lineBits + state.baudRate - 1) / state.baudRate;
}

ReadTimeoutCut::~ReadTimeoutCut() {
    if (cut_) Platform().setTimeouts(handle_, &own_);
}

void ReadTimeoutCut::limitTo(std::uint64_t ms, std::uint32_t count) {
    const PlatformOps& os = Platform();
    if (!known_) {
        if (!os.getTimeouts(handle_, &own_)) return;
        known_ = true;
    }
    // The time left only shrinks: once cut, the port stays cut.
    if (TotalTimeoutMs(own_, count) <= ms) return;
    LineTimeouts shortened = own_;
    shortened.readTotalMultiplier = 0;
    shortened.readTotalConstant = ms == 0 ? 1 : static_cast<std::uint32_t>(ms);
    if (os.setTimeouts(handle_, &shortened)) cut_ = true;
}

}  // namespace plclink
