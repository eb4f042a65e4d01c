// Local wall-clock times as the tool prints them.
#pragma once

#include <chrono>
#include <string>

namespace plclink::host {

// "2024-05-01T12:34:56.789" (withDate) or "12:34:56.789".
std::string LocalTimeText(std::chrono::system_clock::time_point time, bool withDate);

// Milliseconds with one decimal, "12.3".
std::string MillisecondsText(double milliseconds);

}  // namespace plclink::host
