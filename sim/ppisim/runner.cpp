#include "ppisim/runner.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "ppisim/fdl.h"
#include "ppisim/frame.h"
#include "ppisim/paced_output.h"

namespace ppisim {
namespace {

using Clock = std::chrono::steady_clock;

// How long one write may wait for room on the line.
constexpr int kWriteTimeoutMs = 2000;
// Longest single wait, so that a stop request is seen promptly.
constexpr std::int64_t kSliceUs = 50000;

class Loop {
public:
    Loop(Line& line, Bus& bus, const RunOptions& options, Trace& trace,
         const volatile std::sig_atomic_t* stop)
        : line_(line), bus_(bus), options_(options), trace_(trace), stop_(stop),
          start_(Clock::now()),
          paced_(line, trace, options.baud, [&bus](std::size_t n) { return bus.noise(n); }) {}

    int run();

private:
    std::int64_t now() const {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count();
    }
    bool stopping() const {
        return (stop_ && *stop_) || (deadlineUs_ > 0 && now() >= deadlineUs_);
    }
    // Waits until `untilUs`; false when told to stop meanwhile.
    bool waitUntil(std::int64_t untilUs);
    bool receive();
    void react(const Frame& frame, std::int64_t firstByteUs);
    bool send(const Bytes& bytes);

    Line& line_;
    Bus& bus_;
    const RunOptions& options_;
    Trace& trace_;
    const volatile std::sig_atomic_t* stop_;
    Clock::time_point start_;
    std::int64_t deadlineUs_ = 0;
    FrameReader reader_;
    std::size_t skippedSeen_ = 0;
    PacedOutput paced_;
};

bool Loop::waitUntil(std::int64_t untilUs) {
    for (std::int64_t left; (left = untilUs - now()) > 0;) {
        if (stopping()) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(std::min(left, kSliceUs)));
    }
    return !stopping();
}

bool Loop::receive() {
    std::uint8_t buffer[512];
    const long n = line_.readAvailable(buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    const std::int64_t t = now();
    paced_.abandonTrickle(t);
    if (reader_.pending() > 0 && t - reader_.lastArrivalUs() > kStaleFrameUs)
        reader_.discardPartial();
    reader_.feed(std::span(buffer, static_cast<std::size_t>(n)), t);
    std::int64_t firstByteUs = 0;
    while (auto frame = reader_.next(&firstByteUs)) {
        if (reader_.skipped() != skippedSeen_) {
            trace_.note(t, std::to_string(reader_.skipped() - skippedSeen_) + " byte(s) of noise skipped");
            skippedSeen_ = reader_.skipped();
        }
        trace_.frame(t, "rx", frame->raw);
        if (ExceedsLe(*frame, options_.maxLe)) {
            trace_.note(t, "frame with LE " + std::to_string(frame->raw[1]) + " ignored (above LE " +
                               std::to_string(options_.maxLe) + ")");
            continue;
        }
        react(*frame, firstByteUs);
        if (stopping()) break;
    }
    return true;
}

void Loop::react(const Frame& frame, std::int64_t firstByteUs) {
    if (options_.lineSpeed && !waitUntil(firstByteUs + LineTimeUs(frame.raw.size(), options_.baud)))
        return;
    const auto reply = bus_.onFrame(frame, now());
    if (!reply) return;
    if (!reply->note.empty()) trace_.note(now(), reply->note);
    if (options_.latencyMs && !waitUntil(now() + std::int64_t{options_.latencyMs} * 1000)) return;
    if (reply->delayMs) {
        trace_.note(now(), "delay " + std::to_string(reply->delayMs) + " ms");
        if (!waitUntil(now() + std::int64_t{reply->delayMs} * 1000)) return;
    }
    if (reply->flood) paced_.flood(now(), std::int64_t{reply->floodMs} * 1000);
    if (reply->trickleMs && !reply->bytes.empty()) {
        paced_.trickle(reply->bytes, std::int64_t{reply->trickleMs} * 1000, now());
        return;
    }
    if (!reply->bytes.empty() && !send(reply->bytes)) trace_.note(now(), "line refused the bytes");
    if (reply->hangUp)
        trace_.note(now(), line_.hangUp() ? "connection closed" : "no connection to close");
}

bool Loop::send(const Bytes& bytes) {
    const std::int64_t t = now();
    bool ok = true;
    if (!options_.lineSpeed) {
        ok = line_.writeAll(bytes, kWriteTimeoutMs);
    } else {
        // A byte reaches the far end when its stop bit has arrived.
        for (std::size_t i = 0; i < bytes.size() && ok; ++i) {
            if (!waitUntil(t + LineTimeUs(i + 1, options_.baud))) return false;
            ok = line_.writeAll(std::span(bytes).subspan(i, 1), kWriteTimeoutMs);
        }
        // The line is busy until the last byte's stop bit has gone out.
        waitUntil(t + LineTimeUs(bytes.size(), options_.baud));
    }
    trace_.frame(t, "tx", bytes);
    return ok;
}

int Loop::run() {
    if (options_.exitAfterSeconds > 0)
        deadlineUs_ = std::max<std::int64_t>(1, static_cast<std::int64_t>(options_.exitAfterSeconds * 1e6));
    while (!stopping()) {
        paced_.service(now());
        std::int64_t wait = std::clamp<std::int64_t>(paced_.nextDueUs() - now(), 0, kSliceUs);
        if (deadlineUs_ > 0) wait = std::clamp<std::int64_t>(deadlineUs_ - now(), 0, wait);
        pollfd p{line_.fd(), POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>((wait + 999) / 1000));
        if (ready < 0) continue;  // a signal; the loop condition decides
        if (ready == 0) continue;
        if (p.revents & POLLIN) {
            if (!receive()) return 1;
        } else if (p.revents & (POLLHUP | POLLERR)) {
            // A master's connection that failed ends; on a terminal nobody
            // holds the far end open: wait for a master to come.
            if (!line_.hangUp()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } else if (p.revents & POLLNVAL) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

std::int64_t LineTimeUs(std::size_t bytes, unsigned baud) {
    return static_cast<std::int64_t>(bytes) * 11 * 1000000 / static_cast<std::int64_t>(baud ? baud : 1);
}

int Run(Line& line, Bus& bus, const RunOptions& options, Trace& trace,
        const volatile std::sig_atomic_t* stop) {
    return Loop(line, bus, options, trace, stop).run();
}

}  // namespace ppisim
