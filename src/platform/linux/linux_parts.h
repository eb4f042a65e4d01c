// The pieces of the Linux platform table, each in its own file.
#pragma once

#include "platform/platform.h"

namespace plclink::linux_platform {

void FillSerialOps(PlatformOps& ops);   // linux_serial.cpp
void FillDialogOps(PlatformOps& ops);   // linux_dialog.cpp

}  // namespace plclink::linux_platform
