#include "ppisim/bus_runner.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <thread>

#include "ppisim/fdl.h"

namespace ppisim {
namespace {

using Clock = std::chrono::steady_clock;

// Longest single wait, so that a stop request is seen promptly.
constexpr std::int64_t kSliceUs = 50000;

}  // namespace

void PrintSummary(const TokenBus& bus, std::ostream& report) {
    for (const std::string& line : bus.summary()) report << line << '\n';
    report.flush();
}

int RunTokenBus(Line& line, TokenBus& bus, const RunOptions& options, Trace& trace,
                const volatile std::sig_atomic_t* stop, volatile std::sig_atomic_t* summary,
                std::ostream& report) {
    const auto start = Clock::now();
    auto now = [start] {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    };
    const std::int64_t deadline =
        options.exitAfterSeconds > 0 ? std::max<std::int64_t>(1, static_cast<std::int64_t>(options.exitAfterSeconds * 1e6)) : 0;
    FrameReader reader;
    std::size_t skippedSeen = 0;
    bool discarded = false;
    while (!(stop && *stop) && !(deadline > 0 && now() >= deadline)) {
        if (summary && *summary) {
            *summary = 0;
            PrintSummary(bus, report);
        }
        bus.advance(now());
        for (const std::uint8_t byte : bus.takeBytes(now())) {
            // The bus goes on whoever listens: when the port is full (nobody
            // reads it), its unread bytes make room.
            if (line.writeAll(std::span(&byte, 1), 0)) continue;
            line.discardUnread();
            if (!line.writeAll(std::span(&byte, 1), 0)) trace.note(now(), "line refused a byte");
            else if (!discarded) trace.note(now(), "the port was full: its unread bytes were discarded");
            discarded = true;
        }
        const std::int64_t wait = std::clamp<std::int64_t>(bus.nextEventUs() - now(), 0, kSliceUs);
        pollfd p{line.fd(), POLLIN, 0};
        const timespec timeout{0, static_cast<long>(wait * 1000)};
        const int ready = ppoll(&p, 1, &timeout, nullptr);
        if (ready <= 0) continue;
        if (p.revents & POLLNVAL) return 1;
        if (!(p.revents & POLLIN)) {
            // A master's connection that failed ends; on a terminal nobody
            // holds the far end open: wait for a master to come.
            if (!line.hangUp()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        std::uint8_t buffer[512];
        const long n = line.readAvailable(buffer);
        if (n < 0) return 1;
        const std::int64_t t = now();
        if (reader.pending() > 0 && t - reader.lastArrivalUs() > kStaleFrameUs) reader.discardPartial();
        reader.feed(std::span(buffer, static_cast<std::size_t>(n)), t);
        std::int64_t firstByteUs = 0;
        while (auto frame = reader.next(&firstByteUs)) {
            if (reader.skipped() != skippedSeen) {
                trace.note(t, std::to_string(reader.skipped() - skippedSeen) + " byte(s) of noise skipped");
                skippedSeen = reader.skipped();
            }
            trace.frame(t, "rx", frame->raw);
            if (ExceedsLe(*frame, options.maxLe)) {
                trace.note(t, "frame with LE " + std::to_string(frame->raw[1]) + " ignored (above LE " +
                                  std::to_string(options.maxLe) + ")");
                continue;
            }
            bus.outsideFrame(*frame, firstByteUs);
        }
    }
    return 0;
}

}  // namespace ppisim
