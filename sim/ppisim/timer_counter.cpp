#include "ppisim/timer_counter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace ppisim {
namespace {

constexpr std::size_t kTimerRecordBytes = 5;
constexpr std::size_t kCounterRecordBytes = 3;

ElementKind KindOfCode(std::uint8_t areaCode) {
    return areaCode == kAreaCodeT ? ElementKind::Timer : ElementKind::Counter;
}

}  // namespace

std::optional<ElementKind> ElementKindOfName(std::string_view name) {
    if (name.size() != 1) return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (letter == 'T') return ElementKind::Timer;
    if (letter == 'C') return ElementKind::Counter;
    return std::nullopt;
}

char LetterOf(ElementKind kind) { return kind == ElementKind::Timer ? 'T' : 'C'; }

int TimeBaseMs(std::size_t number) {
    const std::size_t inGroup = number % 32;  // T0..T31 and T64..T95 repeat as T32.. and T96..
    if (number < 128 && inGroup == 0) return 1;
    if (number < 128 && inGroup >= 1 && inGroup <= 4) return 10;
    return 100;
}

bool TimerCounterValues::set(ElementKind kind, std::size_t number, std::int16_t value) {
    if (number >= kTimerCounterCount) return false;
    (kind == ElementKind::Timer ? timers_ : counters_)[number] = value;
    return true;
}

bool IsTimerCounterItem(const ItemSpec& item) {
    return item.areaCode == kAreaCodeT || item.areaCode == kAreaCodeC;
}

DataItem ReadTimerCounterItem(const TimerCounterValues& values, const ItemSpec& item) {
    // The transport size of such an item is its area code.
    if (item.transportSize != item.areaCode) return {kAccessTypeUnsupported, 0, {}};
    const std::size_t first = item.bitAddress;
    if (item.count == 0 || first + item.count > kTimerCounterCount) return {kAccessObjectMissing, 0, {}};
    const ElementKind kind = KindOfCode(item.areaCode);
    const std::size_t recordBytes = kind == ElementKind::Timer ? kTimerRecordBytes : kCounterRecordBytes;
    DataItem out;
    out.dataType = kDataOctets;
    for (std::size_t i = 0; i < item.count; ++i) {
        const auto value = static_cast<std::uint16_t>(values.get(kind, first + i));
        out.values.insert(out.values.end(), recordBytes - 2, 0x00);
        out.values.push_back(static_cast<std::uint8_t>(value >> 8));
        out.values.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}

std::uint8_t WriteTimerCounterItem(const ItemSpec& item) {
    if (item.count == 0 || std::size_t{item.bitAddress} + item.count > kTimerCounterCount)
        return kAccessObjectMissing;
    return kAccessNotAllowed;
}

std::optional<TimerMotion> ParseTimerMotion(const std::string& text, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    const auto equals = text.find('=');
    const std::string name = text.substr(0, equals);
    if (name.size() < 2 || ElementKindOfName(name.substr(0, 1)) != ElementKind::Timer ||
        name.size() > 4 || name.find_first_not_of("0123456789", 1) != std::string::npos)
        return fail("expected Tn[=ramp[:PERIOD]], e.g. T37=ramp:20");
    TimerMotion motion;
    motion.number = std::stoul(name.substr(1));
    if (motion.number >= kTimerCounterCount) return fail("timers are T0..T255");
    if (equals == std::string::npos) return motion;
    const std::string shape = text.substr(equals + 1);
    if (shape.rfind("ramp", 0) != 0 || (shape.size() > 4 && shape[4] != ':'))
        return fail("the timer's motion must be ramp or ramp:PERIOD");
    if (shape.size() > 4) {
        const std::string period = shape.substr(5);
        char* end = nullptr;
        motion.periodSeconds = std::strtod(period.c_str(), &end);
        if (period.empty() || end != period.c_str() + period.size() ||
            !std::isfinite(motion.periodSeconds) || motion.periodSeconds <= 0)
            return fail("the period must be a positive number of seconds");
    }
    return motion;
}

std::int16_t TimerValueAt(const TimerMotion& motion, double seconds) {
    const double elapsedMs = std::fmod(seconds, motion.periodSeconds) * 1000;
    const double ticks = std::floor(elapsedMs / TimeBaseMs(motion.number));
    return static_cast<std::int16_t>(std::min(ticks, 32767.0));
}

void ApplyTimerMotions(TimerCounterValues& values, const std::vector<TimerMotion>& motions,
                       double seconds) {
    for (const TimerMotion& motion : motions)
        values.set(ElementKind::Timer, motion.number, TimerValueAt(motion, seconds));
}

}  // namespace ppisim
