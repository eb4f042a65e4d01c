// The result a read or write transaction must end with, worked out from
// what the controller did with each request it received, by the retry rules:
// three attempts; an attempt whose exchange met a broken or foreign frame is
// followed by an association of up to three attempts; silence, a busy
// station and refused responses are retried as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim_trace.h"

namespace plclink::soak {

struct Expectation {
    std::int32_t result = 0;
    std::size_t requests = 0;      // requests the transaction sends, associations included
    std::size_t associations = 0;  // association attempts among them
    std::uint64_t worstMs = 0;     // the longest it may take
    std::string mismatch;          // non-empty when the requests do not follow the rules
    // A flood or a trickle met: how the driver's bounded waits fall against
    // the peer's timing decides the rest, so result and requests are not
    // judged, only the worst time of every attempt left.
    bool uncertain = false;
};

// `job` is Read or Write; `readTimeoutMs` the line's read time-out.
Expectation Expect(Job job, const std::vector<SimRequest>& requests, std::uint64_t readTimeoutMs);

}  // namespace plclink::soak
