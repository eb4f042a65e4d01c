// Placeholder until the dialog lands.
#include "entry/command_handlers.h"

namespace plclink {
std::int32_t ShowTagFormatDialog(VpiCallBlock*) { return VPI_DIALOG_NOTHING; }
}  // namespace plclink
