// The pieces of the Win32 platform table, each in its own file.
#pragma once

#include "platform/platform.h"

namespace plclink::windows_platform {

void FillSerialOps(PlatformOps& ops);   // windows_serial.cpp
void FillDialogOps(PlatformOps& ops);   // windows_dialog.cpp

}  // namespace plclink::windows_platform
