#include "time_text.h"

#include <cstdio>
#include <ctime>

namespace plclink::host {

std::string LocalTimeText(std::chrono::system_clock::time_point time, bool withDate) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    long millis = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char stamp[40];
    std::strftime(stamp, sizeof stamp, withDate ? "%Y-%m-%dT%H:%M:%S" : "%H:%M:%S", &local);
    char text[48];
    std::snprintf(text, sizeof text, "%s.%03ld", stamp, millis);
    return text;
}

std::string MillisecondsText(double milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", milliseconds);
    return text;
}

}  // namespace plclink::host
