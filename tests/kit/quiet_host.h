// The host runtime library for fuzzers, benchmarks and the soak test: every
// log line is formatted (so a bad format argument shows up under the
// sanitizers) into a small ring of recent lines, without allocating. Set
// PLCLINK_KIT_LOG in the environment to see the lines on standard error.
#pragma once

#include <cstddef>

namespace plclink::kit {

struct QuietLog {
    static constexpr std::size_t kKept = 32;
    static constexpr std::size_t kWidth = 256;
    std::size_t lines = 0;  // written since the start
    char recent[kKept][kWidth] = {};

    const char* last() const { return lines ? recent[(lines - 1) % kKept] : ""; }
    // The line written `back` lines before the last one (0 = the last).
    const char* before(std::size_t back) const {
        return back < lines && back < kKept ? recent[(lines - 1 - back) % kKept] : "";
    }
};

QuietLog& Log();

}  // namespace plclink::kit
