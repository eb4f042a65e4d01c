// The initialization file's line "MULTIMASTER [ADDRESS n] [HSA n] [TSL n]
// [GAP n]": the driver joins the PPI token ring as an active station.
#pragma once

#include "fdl/ring_settings.h"

namespace plclink {

// 1 with `settings` set (enabled, the words in any case and any order,
// blanks around them; ADDRESS 0..126, HSA ADDRESS..126, TSL 1..65535 bit
// times, GAP 1..100); 0 when the line is about something else; -1 when it
// starts with MULTIMASTER but the rest does not fit.
int ParseMultiMasterLine(const char* line, RingSettings* settings);

}  // namespace plclink
