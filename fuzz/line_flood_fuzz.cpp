// The Linux serial layer's purge and receive loops against a pseudo-terminal
// peer that sends without end: the fuzzer chooses what the peer repeats, in
// which pieces and with which gaps, and whether the driver purges or reads.
// Checked for every input:
// - PurgeInput returns 0 or, on a line that kept sending, 2, and ends within
//   one read time-out plus two purge reads;
// - ReadBytes of n bytes ends within one read time-out plus twice the
//   bytes' line time, and what it read is an unbroken run of the peer's
//   bytes (nothing lost, doubled or made up);
// both with a margin for a loaded machine: what is caught is a loop that
// does not end, not a late millisecond.
//
// Input: byte 0 = bit 0 purge (else read), bits 1-6 the read count - 1;
// byte 1 = piece size - 1 (0..63); byte 2 = gap after each piece in ms
// (0..127); then the bytes the peer repeats.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "serial/line_io.h"
#include "serial/serial_port.h"

namespace {

constexpr std::uint32_t kReadTimeoutTenMs = 2;  // 20 ms
constexpr std::uint64_t kReadTimeoutMs = kReadTimeoutTenMs * 10;
constexpr std::uint64_t kPurgeReadMs = 50;
constexpr std::uint64_t kBaud = 9600;
constexpr std::uint64_t kMarginMs = 1000;

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "FINDING: %s\n", what);
    std::abort();
}

std::uint64_t NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u;
}

// The driver's end of a pseudo-terminal, opened once as the driver opens a
// port, and the peer's end.
struct PtyLine {
    int peer = -1;
    plclink::LineHandle line = plclink::kNoLine;

    PtyLine() {
        peer = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (peer < 0 || grantpt(peer) != 0 || unlockpt(peer) != 0) Finding("no pseudo-terminal");
        const char* path = ptsname(peer);
        plclink::LineConfig config{};
        // The driver takes names under /dev without the prefix.
        std::snprintf(config.portName, sizeof config.portName, "%s", path + 5);
        config.settings = LineSettings{kBaud, 8, 0, 2};
        config.controlFlags = plclink::kDriverControlFlags;
        line = plclink::OpenLine(config);
        if (line == plclink::kNoLine || line == plclink::kNullLine) Finding("pseudo-terminal not opened");
        plclink::SetReadTimeout(line, kReadTimeoutTenMs);
    }
};

// Sends `pattern` over and over in pieces until stopped.
class Flood {
public:
    Flood(int fd, std::vector<std::uint8_t> pattern, std::size_t piece, unsigned gapMs)
        : fd_(fd), pattern_(std::move(pattern)), piece_(piece), gapMs_(gapMs),
          thread_([this] { run(); }) {}
    ~Flood() {
        stop_ = true;
        thread_.join();
    }

private:
    void run() {
        std::size_t at = 0;
        std::vector<std::uint8_t> out(piece_);
        while (!stop_) {
            for (std::size_t i = 0; i < piece_; ++i) out[i] = pattern_[(at + i) % pattern_.size()];
            std::size_t sent = 0;
            while (sent < piece_ && !stop_) {
                const ssize_t n = write(fd_, out.data() + sent, piece_ - sent);
                if (n > 0) {
                    sent += static_cast<std::size_t>(n);
                } else {
                    pollfd p{fd_, POLLOUT, 0};
                    poll(&p, 1, 10);
                }
            }
            at = (at + sent) % pattern_.size();
            if (gapMs_ != 0) usleep(gapMs_ * 1000);
        }
    }

    int fd_;
    std::vector<std::uint8_t> pattern_;
    std::size_t piece_;
    unsigned gapMs_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Whether `run` occurs in the endless repetition of `pattern`.
bool PartOfRepetition(const std::uint8_t* run, std::size_t size, const std::vector<std::uint8_t>& pattern) {
    for (std::size_t start = 0; start < pattern.size(); ++start) {
        std::size_t i = 0;
        while (i < size && run[i] == pattern[(start + i) % pattern.size()]) ++i;
        if (i == size) return true;
    }
    return false;
}

// Empties both directions after an input. The peer has stopped, but the
// pseudo-terminal hands its last bytes to the driver's end a moment later,
// so a purge can find the line empty just before they arrive: the line
// counts as drained only once a whole read time-out passes without a byte.
void Drain(const PtyLine& pty) {
    std::uint8_t scratch[512];
    while (read(pty.peer, scratch, sizeof scratch) > 0) {
    }
    for (int i = 0; i < 50; ++i) {
        plclink::PurgeInput(pty.line);
        std::uint8_t byte;
        std::uint32_t got = 0;
        plclink::ReadBytes(pty.line, &byte, 1, &got);
        if (got == 0) return;
    }
    Finding("the line did not fall quiet after the peer stopped");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4 || size > 256) return 0;
    static PtyLine pty;
    const bool purge = data[0] & 1;
    const std::uint32_t count = 1 + ((data[0] >> 1) & 0x3F);
    const std::size_t piece = 1 + (data[1] & 0x3F);
    const unsigned gapMs = data[2] & 0x7F;
    std::vector<std::uint8_t> pattern(data + 3, data + size);

    std::uint8_t buffer[64];
    std::uint32_t got = 0;
    int result;
    std::uint64_t took;
    {
        Flood flood(pty.peer, pattern, piece, gapMs);
        const std::uint64_t start = NowMs();
        result = purge ? plclink::PurgeInput(pty.line) : plclink::ReadBytes(pty.line, buffer, count, &got);
        took = NowMs() - start;
    }
    if (purge) {
        if (result != plclink::kIoDone && result != plclink::kPurgeLineBusy) Finding("purge result");
        if (took > kReadTimeoutMs + 2 * kPurgeReadMs + kMarginMs) Finding("purge outlasted its bound");
    } else {
        if (result != plclink::kIoDone && result != plclink::kIoFailed) Finding("read result");
        if ((result == plclink::kIoDone) != (got == count) || got > count) Finding("read count");
        const std::uint64_t lineMs = (2 * count * 11 * 1000 + kBaud - 1) / kBaud;
        if (took > kReadTimeoutMs + lineMs + kMarginMs) Finding("read outlasted its bound");
        if (!PartOfRepetition(buffer, got, pattern)) Finding("read bytes the peer did not send in that order");
    }
    Drain(pty);
    return 0;
}
