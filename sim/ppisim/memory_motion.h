// What a running CPU changes in its memory by itself: the 1-second clock bit
// SM0.5 (on for half a second, off for the other half) and, chosen on the
// command line, analog inputs that move (a ramp or a sine per channel), so
// that a monitor shows live values.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ppisim/memory.h"

namespace ppisim {

// One moving analog input: the word at byte `byteAddress` of AI runs between
// `low` and `high` once every `periodSeconds`.
struct AnalogMotion {
    enum class Shape { Ramp, Sine };
    std::size_t byteAddress = 0;
    Shape shape = Shape::Ramp;
    double periodSeconds = 10;
    int low = 0;
    int high = 32000;  // the full scale of an S7-200 analog input
};

// "AIW4=ramp", "AIW0=sine:5" (period in seconds), "aiw2=ramp:20:-100:100"
// (period, lowest and highest value); nothing, with the reason in `why`,
// when the text is not one.
std::optional<AnalogMotion> ParseAnalogMotion(const std::string& text, std::string* why);

// The value of `motion` `seconds` after the CPU started.
int AnalogValueAt(const AnalogMotion& motion, double seconds);

// Sets SM0.5 and the moving analog inputs to what they are `seconds` after
// the CPU started. Places outside the memory are left alone.
void ApplyCpuMotion(StationMemory& memory, const std::vector<AnalogMotion>& motions, double seconds);

}  // namespace ppisim
