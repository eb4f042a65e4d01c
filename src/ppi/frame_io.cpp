#include "ppi/frame_io.h"

#include "platform/platform.h"
#include "serial/line_io.h"

namespace plclink {
namespace {

// Time between raising RTS and the first byte.
constexpr std::uint32_t kRtsLeadMs = 1;

// After a failed step: clear the line's error state, then tell silence from
// a partial transfer.
int LinkFailure(LineHandle line, std::uint32_t transferred) {
    ClearLineErrors(line);
    return transferred == 0 ? kLinkSilent : kLinkBroken;
}

}  // namespace

int SendFrame(LineHandle line, const std::uint8_t* bytes, std::uint32_t length) {
    ClearLineErrors(line);
    // No stale byte may be taken for the answer; nothing goes out on a line
    // that never falls silent.
    if (PurgeInput(line) == kPurgeLineBusy) return LinkFailure(line, 0);
    SetRts(line, 1);
    Platform().sleepMs(kRtsLeadMs);
    std::uint32_t written = 0;  // stays 0 when the write fails without a count
    const int rc = WriteBytes(line, bytes, length, &written);
    WaitTxEmpty(line);
    SetRts(line, 0);
    if (rc == kIoDone && written == length) return kLinkDone;
    return LinkFailure(line, written);
}

int ReceiveExact(LineHandle line, std::uint8_t* buffer, std::uint32_t count) {
    std::uint32_t got = 0;
    const int rc = ReadBytes(line, buffer, count, &got);
    if (rc == kIoDone && got == count) return kLinkDone;
    return LinkFailure(line, got);
}

}  // namespace plclink
