// Placeholder until the address parsers land.
#include "entry/command_handlers.h"

namespace plclink {
std::int32_t BlockParse(VpiCallBlock*) { return VPI_FAILED; }
}  // namespace plclink
