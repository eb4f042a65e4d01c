#include "ppisim/trace.h"

#include <cstdio>
#include <ostream>

namespace ppisim {

void Trace::stamp(std::int64_t timeUs) {
    char text[32];
    std::snprintf(text, sizeof text, "[%5lld.%06lld] ", static_cast<long long>(timeUs / 1000000),
                  static_cast<long long>(timeUs % 1000000));
    *out_ << text;
}

void Trace::frame(std::int64_t timeUs, std::string_view direction,
                  std::span<const std::uint8_t> bytes) {
    if (!out_) return;
    stamp(timeUs);
    *out_ << direction;
    char hex[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        *out_ << hex;
    }
    *out_ << std::endl;
}

void Trace::note(std::int64_t timeUs, std::string_view text) {
    if (!out_) return;
    stamp(timeUs);
    *out_ << "-- " << text << std::endl;
}

}  // namespace ppisim
