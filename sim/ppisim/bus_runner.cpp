#include "ppisim/bus_runner.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <ostream>

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
    while (!(stop && *stop) && !(deadline > 0 && now() >= deadline)) {
        if (summary && *summary) {
            *summary = 0;
            PrintSummary(bus, report);
        }
        bus.advance(now());
        if (const Bytes bytes = bus.takeBytes(now()); !bytes.empty() && !line.writeAll(bytes, 100))
            trace.note(now(), "line refused the bytes");
        const std::int64_t wait = std::clamp<std::int64_t>(bus.nextEventUs() - now(), 0, kSliceUs);
        pollfd p{line.fd(), POLLIN, 0};
        const timespec timeout{0, static_cast<long>(wait * 1000)};
        const int ready = ppoll(&p, 1, &timeout, nullptr);
        if (ready <= 0) continue;
        if (p.revents & POLLNVAL) return 1;
        if (!(p.revents & POLLIN)) {
            line.hangUp();
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
