// The handlers of VpiMain's command table. Each takes the call block and
// returns the result code that VpiMain hands back to the host unchanged.
#pragma once

#include <cstdint>

#include "plclink/vpi.h"

namespace plclink {

using CommandHandler = std::int32_t (*)(VpiCallBlock* callBlock);

std::int32_t ColdStart(VpiCallBlock* callBlock);             // 1
std::int32_t FlushLine(VpiCallBlock* callBlock);             // 2
std::int32_t SingleParse(VpiCallBlock* callBlock);           // 3
std::int32_t BlockParse(VpiCallBlock* callBlock);            // 4
std::int32_t ReadValue(VpiCallBlock* callBlock);             // 5
std::int32_t ReadBlock(VpiCallBlock* callBlock);             // 6
std::int32_t WriteValue(VpiCallBlock* callBlock);            // 7
std::int32_t WriteBlock(VpiCallBlock* callBlock);            // 10
std::int32_t EndVpi(VpiCallBlock* callBlock);                // 11
std::int32_t CloseLine(VpiCallBlock* callBlock);             // 12
std::int32_t ReopenLine(VpiCallBlock* callBlock);            // 13
std::int32_t DescribeDriver(VpiCallBlock* callBlock);        // 14
std::int32_t ChangeLine(VpiCallBlock* callBlock);            // 15
std::int32_t ShowTagFormatDialog(VpiCallBlock* callBlock);   // 16
std::int32_t ReadTags(VpiCallBlock* callBlock);              // 20, an extension

// The module-wide instance count: 0 at load, +1 per ColdStart, -1 per EndVpi.
extern std::int32_t instanceCount;

}  // namespace plclink
