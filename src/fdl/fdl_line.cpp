#include "fdl/fdl_line.h"

#include "platform/platform.h"
#include "serial/line_io.h"

namespace plclink {
namespace {

constexpr std::uint32_t kSd2HeadLength = 4;  // 68 LE LEr 68
constexpr std::uint32_t kLongestSd2Rest = 255 + 2;

FdlFrame ReceiveFrame(LineHandle line, std::uint32_t waitMs);

bool ReadAll(LineHandle line, std::uint8_t* bytes, std::uint32_t count) {
    std::uint32_t got = 0;
    return ReadBytes(line, bytes, count, &got) == kIoDone && got == count;
}

FdlFrame Broken() {
    FdlFrame frame;
    frame.kind = FdlFrame::Kind::kBroken;
    return frame;
}

// The rest of a broken frame follows without a gap: it is read and dropped
// until the line has been quiet for `quietMs`, so that no byte inside it
// (a token has no checksum) passes for the start of a frame.
void DiscardUntilQuiet(LineHandle line, std::uint32_t quietMs) {
    SetLineWaitMs(line, quietMs);
    std::uint8_t scratch[64];
    for (int chunk = 0; chunk < 64; ++chunk) {
        std::uint32_t got = 0;
        if (!Platform().readPort(line, scratch, sizeof scratch, &got) || got == 0) break;
    }
    ClearLineErrors(line);
}

// An SD2 frame after its start byte: the header with DA, SA and FC, then the
// rest it announces.
FdlFrame ReceiveSd2Rest(LineHandle line) {
    std::uint8_t head[kSd2HeadLength + 3];
    if (!ReadAll(line, head + 1, kSd2HeadLength - 1 + 3)) return Broken();
    const std::uint32_t length = head[1];
    if (head[1] != head[2] || head[3] != kFdlSd2 || length < 3) return Broken();
    std::uint8_t rest[kLongestSd2Rest];
    if (!ReadAll(line, rest, length - 3 + 2)) return Broken();
    const std::uint8_t sum = static_cast<std::uint8_t>(FdlChecksum(head + 4, 3) + FdlChecksum(rest, length - 3));
    if (rest[length - 3] != sum || rest[length - 2] != kFdlEnd) return Broken();
    FdlFrame frame;
    frame.kind = FdlFrame::Kind::kOther;
    frame.da = head[4] & 0x7F;
    frame.sa = head[5] & 0x7F;
    frame.fc = head[6];
    frame.hasSource = true;
    return frame;
}

}  // namespace

std::uint32_t FrameLineMs(std::uint32_t bytes, std::uint32_t baud) {
    if (baud == 0) return 0;
    return static_cast<std::uint32_t>((std::uint64_t{bytes} * 11 * 1000 + baud - 1) / baud);
}

void SetLineWaitMs(LineHandle line, std::uint32_t ms) {
    const PlatformOps& os = Platform();
    LineTimeouts timeouts{};
    if (!os.getTimeouts(line, &timeouts)) return;
    const std::uint32_t constant = ms == 0 ? 1 : ms;
    if (timeouts.readTotalConstant == constant && timeouts.readInterval == 0 &&
        timeouts.readTotalMultiplier == 0)
        return;
    timeouts.readInterval = 0;
    timeouts.readTotalMultiplier = 0;
    timeouts.readTotalConstant = constant;
    os.setTimeouts(line, &timeouts);
}

FdlFrame ReceiveFdlFrame(LineHandle line, std::uint32_t waitMs, std::uint32_t quietMs) {
    const FdlFrame frame = ReceiveFrame(line, waitMs);
    if (frame.kind == FdlFrame::Kind::kBroken) DiscardUntilQuiet(line, quietMs);
    return frame;
}

bool SendFdlFrame(LineHandle line, const std::uint8_t* bytes, std::uint32_t length,
                  std::uint32_t baud) {
    const PlatformOps& os = Platform();
    SetRts(line, 1);
    os.sleepMs(kRtsLeadMs);
    const std::uint64_t start = os.monotonicMs();
    std::uint32_t written = 0;
    const int rc = WriteBytes(line, bytes, length, &written);
    WaitTxEmpty(line);
    // Not back before the frame is on the line, so that the pause before
    // the next frame counts from its end.
    const std::uint64_t onLine = start + FrameLineMs(length, baud);
    if (const std::uint64_t now = os.monotonicMs(); now < onLine)
        os.sleepMs(static_cast<std::uint32_t>(onLine - now));
    SetRts(line, 0);
    return rc == kIoDone && written == length;
}

namespace {

FdlFrame ReceiveFrame(LineHandle line, std::uint32_t waitMs) {
    SetLineWaitMs(line, waitMs);
    std::uint8_t first = 0;
    std::uint32_t got = 0;
    if (ReadBytes(line, &first, 1, &got) != kIoDone || got != 1) {
        ClearLineErrors(line);
        return FdlFrame{};
    }
    switch (first) {
        case kFdlSd4: {
            std::uint8_t rest[2];
            if (!ReadAll(line, rest, 2)) return Broken();
            FdlFrame frame;
            frame.kind = FdlFrame::Kind::kToken;
            frame.da = rest[0] & 0x7F;
            frame.sa = rest[1] & 0x7F;
            frame.hasSource = true;
            return frame;
        }
        case kFdlSd1: {
            std::uint8_t frame[kSd1FrameLength] = {kFdlSd1};
            if (!ReadAll(line, frame + 1, kSd1FrameLength - 1)) return Broken();
            return ClassifySd1(frame);
        }
        case kFdlSd2:
            return ReceiveSd2Rest(line);
        case kFdlSc: {
            FdlFrame frame;
            frame.kind = FdlFrame::Kind::kOther;
            return frame;
        }
        default:
            return Broken();
    }
}

}  // namespace


}  // namespace plclink
