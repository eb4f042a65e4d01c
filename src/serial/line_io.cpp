// Byte transfer on an open line: one blocking write, exact-count reads under
// the port's read time-out, and discarding stale input.
#include "serial/line_io.h"

#include <cstdint>

#include "platform/platform.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

constexpr std::uint32_t kPurgeChunk = 512;
constexpr std::uint32_t kPurgeTimeoutTenMs = 5;  // 50 ms per read while purging

}  // namespace

int WriteBytes(LineHandle handle, const void* buffer, std::uint32_t length,
               std::uint32_t* writtenOut) {
    std::uint32_t written = 0;
    if (!Platform().writePort(handle, buffer, length, &written)) return kIoFailed;
    if (writtenOut != nullptr) *writtenOut = written;
    return written == length ? kIoDone : kIoShortWrite;
}

int ReadBytes(LineHandle handle, void* buffer, std::uint32_t length, std::uint32_t* readOut) {
    const PlatformOps& os = Platform();
    const std::uint16_t wanted = static_cast<std::uint16_t>(length);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    if (readOut != nullptr) *readOut = 0;
    std::uint16_t total = 0;
    for (;;) {
        const std::uint16_t missing = static_cast<std::uint16_t>(wanted - total);
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

int PurgeInput(LineHandle handle) {
    const PlatformOps& os = Platform();
    std::uint32_t errors = 0;
    std::uint32_t waiting = 0;
    if (os.clearErrors(handle, &errors, &waiting) && waiting == 0) return 0;

    const std::uint32_t previous = SetReadTimeout(handle, kPurgeTimeoutTenMs);
    std::uint8_t scratch[kPurgeChunk];
    std::uint32_t got = 0;
    bool readOk;
    do {
        got = 0;
        readOk = os.readPort(handle, scratch, kPurgeChunk, &got);
    } while (readOk && got == kPurgeChunk);
    if (previous != 0) SetReadTimeout(handle, previous);
    return readOk ? 0 : 1;
}

}  // namespace plclink
