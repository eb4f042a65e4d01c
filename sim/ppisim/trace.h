// The frame trace: every frame received and sent, in hexadecimal, with its
// direction and the time since the simulator started, one line each:
//
//   [    1.234567] rx 10 02 00 5C 5E 16
//   [    1.234890] tx E5
//   [    1.234901] -- station 2: read V100.0 ts04 x1
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string_view>

namespace ppisim {

class Trace {
public:
    // Writes to `out`, or nowhere when it is null.
    explicit Trace(std::ostream* out) : out_(out) {}
    bool enabled() const { return out_ != nullptr; }

    void frame(std::int64_t timeUs, std::string_view direction, std::span<const std::uint8_t> bytes);
    void note(std::int64_t timeUs, std::string_view text);

private:
    void stamp(std::int64_t timeUs);
    std::ostream* out_;
};

}  // namespace ppisim
