// Log categories of the host's log (the host library's err()).
#pragma once

#include "plclink/korvan.h"

namespace plclink {

inline constexpr int kLogCategory = 32;    // every line of the driver
inline constexpr int kTraceCategory = 0;   // the block parser's trace lines

// The instance prefix of the frame and message layers' lines: "Vpi%s%02d"
// formed with this family tag and the instance number.
inline constexpr char kFamilyTag[] = "K7";

}  // namespace plclink
