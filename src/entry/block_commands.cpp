// Read and write commands. Placeholder until the protocol lands.
#include "entry/command_handlers.h"

namespace plclink {

std::int32_t ReadValue(VpiCallBlock*) { return VPI_UNAVAILABLE; }
std::int32_t ReadBlock(VpiCallBlock*) { return VPI_UNAVAILABLE; }
std::int32_t WriteValue(VpiCallBlock*) { return VPI_UNAVAILABLE; }
std::int32_t WriteBlock(VpiCallBlock*) { return VPI_UNAVAILABLE; }

}  // namespace plclink
