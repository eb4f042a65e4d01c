// Timers (T0..T255) and counters (C0..C255) of one controller, as a master
// reads them: by number, the item's transport size being the area code, and
// one record per element in the answer (octet string, length in bytes). A
// timer's record is 5 bytes, a counter's 3; the current value, a signed
// 16-bit number, is the record's last two bytes, big-endian. The simulator
// keeps the other bytes (status, time base) at 0. Neither is written by a
// master: a write is refused with access_result 0x03, a number above 255
// with 0x0A. A timer chosen with --timer counts on by itself in the ticks
// of its time base.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ppisim/s7_message.h"

namespace ppisim {

inline constexpr std::uint8_t kAreaCodeC = 0x1E;
inline constexpr std::uint8_t kAreaCodeT = 0x1F;
inline constexpr std::size_t kTimerCounterCount = 256;

enum class ElementKind { Timer, Counter };

// T and C, upper or lower case.
std::optional<ElementKind> ElementKindOfName(std::string_view name);
char LetterOf(ElementKind kind);

// The tick of a timer, in ms: 1, 10 or 100 by its number, as on the CPUs of
// the family (T0, T32, T64, T96: 1 ms; T1..T4, T33..T36, T65..T68,
// T97..T100: 10 ms; every other: 100 ms).
int TimeBaseMs(std::size_t number);

class TimerCounterValues {
public:
    std::int16_t get(ElementKind kind, std::size_t number) const { return values(kind)[number]; }
    // False, and nothing changed, for a number above 255.
    bool set(ElementKind kind, std::size_t number, std::int16_t value);

private:
    const std::array<std::int16_t, kTimerCounterCount>& values(ElementKind kind) const {
        return kind == ElementKind::Timer ? timers_ : counters_;
    }
    std::array<std::int16_t, kTimerCounterCount> timers_{};
    std::array<std::int16_t, kTimerCounterCount> counters_{};
};

// True when an item names timers or counters (by its area code).
bool IsTimerCounterItem(const ItemSpec& item);

// The data item that answers a read item of timers or counters.
DataItem ReadTimerCounterItem(const TimerCounterValues& values, const ItemSpec& item);

// access_result of a write item of timers or counters: never granted.
std::uint8_t WriteTimerCounterItem(const ItemSpec& item);

// One running timer: from the CPU's start it counts the ticks of its time
// base up to what `periodSeconds` holds, then starts again at 0.
struct TimerMotion {
    std::size_t number = 37;
    double periodSeconds = 10;
};

// "T37", "T37=ramp", "t37=ramp:20" (period in seconds); nothing, with the
// reason in `why`, when the text is not one.
std::optional<TimerMotion> ParseTimerMotion(const std::string& text, std::string* why);

// The timer's value `seconds` after the CPU started.
std::int16_t TimerValueAt(const TimerMotion& motion, double seconds);

void ApplyTimerMotions(TimerCounterValues& values, const std::vector<TimerMotion>& motions,
                       double seconds);

}  // namespace ppisim
