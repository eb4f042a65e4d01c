#include "ppisim/memory_motion.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

namespace ppisim {
namespace {

constexpr std::size_t kClockBit = 5;  // SM0.5

bool ReadNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator) parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

}  // namespace

std::optional<AnalogMotion> ParseAnalogMotion(const std::string& text, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals < 4) return fail("expected AIWn=SHAPE[:PERIOD[:LOW:HIGH]]");
    const std::string word = text.substr(0, equals);
    if (AreaOfName(word.substr(0, 2)) != Area::AI || (word[2] != 'W' && word[2] != 'w'))
        return fail("the channel must be an analog input word, e.g. AIW0");
    const std::string digits = word.substr(3);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(digits) % 2 != 0)
        return fail("the analog input word needs an even byte address, e.g. AIW2");

    AnalogMotion motion;
    motion.byteAddress = std::stoul(digits);
    const auto parts = Split(text.substr(equals + 1), ':');
    if (parts[0] == "ramp") motion.shape = AnalogMotion::Shape::Ramp;
    else if (parts[0] == "sine") motion.shape = AnalogMotion::Shape::Sine;
    else return fail("the shape must be ramp or sine");
    if (parts.size() != 1 && parts.size() != 2 && parts.size() != 4)
        return fail("expected SHAPE, SHAPE:PERIOD or SHAPE:PERIOD:LOW:HIGH");
    if (parts.size() >= 2 && (!ReadNumber(parts[1], motion.periodSeconds) || motion.periodSeconds <= 0))
        return fail("the period must be a positive number of seconds");
    if (parts.size() == 4) {
        double low = 0, high = 0;
        if (!ReadNumber(parts[2], low) || !ReadNumber(parts[3], high) || low < -32768 ||
            high > 32767 || low >= high)
            return fail("LOW and HIGH must be -32768..32767, LOW below HIGH");
        motion.low = static_cast<int>(low);
        motion.high = static_cast<int>(high);
    }
    return motion;
}

int AnalogValueAt(const AnalogMotion& motion, double seconds) {
    const double phase = std::fmod(seconds / motion.periodSeconds, 1.0);
    const double fraction = motion.shape == AnalogMotion::Shape::Ramp
                                ? phase
                                : 0.5 - 0.5 * std::cos(2 * std::numbers::pi * phase);
    return motion.low + static_cast<int>(std::lround(fraction * (motion.high - motion.low)));
}

void ApplyCpuMotion(StationMemory& memory, const std::vector<AnalogMotion>& motions, double seconds) {
    memory.writeBit(Area::SM, kClockBit, std::fmod(seconds, 1.0) >= 0.5);
    for (const AnalogMotion& motion : motions) {
        const auto value = static_cast<std::uint16_t>(AnalogValueAt(motion, seconds));
        const std::uint8_t word[2] = {static_cast<std::uint8_t>(value >> 8),
                                      static_cast<std::uint8_t>(value)};
        memory.write(Area::AI, motion.byteAddress, word);
    }
}

}  // namespace ppisim
