// Byte transfer on an open line: one blocking write, exact-count reads under
// the port's read time-out, and discarding stale input.
#include "serial/line_io.h"

#include <cstdint>

#include "core/host_log.h"
#include "platform/platform.h"
#include "serial/read_bound.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

constexpr std::uint32_t kPurgeChunk = 512;
constexpr std::uint32_t kPurgeTimeoutTenMs = 5;  // 50 ms per read while purging
// How long the purge goes on when the line's own read time-out is unknown.
constexpr std::uint32_t kPurgeLimitTenMs = 100;

}  // namespace

int WriteBytes(LineHandle handle, const void* buffer, std::uint32_t length,
               std::uint32_t* writtenOut) {
    std::uint32_t written = 0;
    if (!Platform().writePort(handle, buffer, length, &written)) return kIoFailed;
    if (writtenOut != nullptr) *writtenOut = written;
    return written == length ? kIoDone : kIoShortWrite;
}

// Each read call waits up to the port's read time-out, so bytes that
// trickle in would start a fresh wait with every call: once a call has
// ended short, the calls that follow get only what is left of the bound.
int ReadBytes(LineHandle handle, void* buffer, std::uint32_t length, std::uint32_t* readOut) {
    const PlatformOps& os = Platform();
    const std::uint16_t wanted = static_cast<std::uint16_t>(length);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    if (readOut != nullptr) *readOut = 0;
    const std::uint64_t start = os.monotonicMs();
    std::uint64_t deadline = 0;  // known once a call has ended short
    ReadTimeoutCut cut(handle);
    std::uint16_t total = 0;
    for (;;) {
        const std::uint16_t missing = static_cast<std::uint16_t>(wanted - total);
        if (total > 0) {
            if (deadline == 0) deadline = start + ReadBoundMs(handle, wanted);
            const std::uint64_t now = os.monotonicMs();
            if (now >= deadline) return kIoFailed;  // out of time, as a time-out
            cut.limitTo(deadline - now, missing);
        }
        std::uint32_t got = 0;
        if (!os.readPort(handle, bytes + total, missing, &got)) {
            os.lastError();
            return kIoFailed;
        }
        if (got == 0) return kIoFailed;
        total = static_cast<std::uint16_t>(total + (got < missing ? got : missing));
        if (readOut != nullptr) *readOut = total;
        if (total == wanted) return kIoDone;
    }
}

// Drains while bytes keep coming, at most 50 ms per read call. A line that
// never falls silent (a flooding device, a bridged port) would hold the
// caller for ever: after one read time-out of the line the purge gives up.
int PurgeInput(LineHandle handle) {
    const PlatformOps& os = Platform();
    std::uint32_t errors = 0;
    std::uint32_t waiting = 0;
    if (os.clearErrors(handle, &errors, &waiting) && waiting == 0) return kIoDone;

    const std::uint32_t previous = SetReadTimeout(handle, kPurgeTimeoutTenMs);
    const std::uint64_t limitMs = std::uint64_t{previous != 0 ? previous : kPurgeLimitTenMs} * 10;
    const std::uint64_t start = os.monotonicMs();
    std::uint8_t scratch[kPurgeChunk];
    std::uint32_t got = 0;
    bool readOk;
    bool flooded = false;
    do {
        got = 0;
        readOk = os.readPort(handle, scratch, kPurgeChunk, &got);
        flooded = readOk && got > 0 && os.monotonicMs() - start >= limitMs;
    } while (readOk && got > 0 && !flooded);
    if (previous != 0) SetReadTimeout(handle, previous);
    if (flooded) {
        err(kLogCategory, "PurgeInput() FAIL (the line kept sending for %u ms)",
            static_cast<unsigned>(limitMs));
        return kPurgeLineBusy;
    }
    return readOk ? kIoDone : kPurgeReadFailed;
}

}  // namespace plclink
