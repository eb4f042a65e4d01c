// The host runtime library for fuzzers and benchmarks: every log line is
// formatted (so a bad format argument shows up under the sanitizers) and
// then dropped; only a count and the last line are kept. Set PLCLINK_KIT_LOG
// in the environment to see the lines on standard error.
#pragma once

#include <cstddef>

namespace plclink::kit {

struct QuietLog {
    std::size_t lines = 0;
    char last[512] = {};
};

QuietLog& Log();

}  // namespace plclink::kit
