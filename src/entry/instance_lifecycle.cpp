// Instance start and stop. Placeholder until the serial layer lands.
#include "entry/command_handlers.h"

namespace plclink {

std::int32_t instanceCount = 0;

std::int32_t ColdStart(VpiCallBlock*) { return VPI_UNAVAILABLE; }
std::int32_t FlushLine(VpiCallBlock*) { return VPI_OK; }
std::int32_t EndVpi(VpiCallBlock*) { return VPI_OK; }
std::int32_t CloseLine(VpiCallBlock*) { return VPI_OK; }
std::int32_t ReopenLine(VpiCallBlock*) { return VPI_UNAVAILABLE; }
std::int32_t ChangeLine(VpiCallBlock*) { return VPI_UNAVAILABLE; }

}  // namespace plclink
