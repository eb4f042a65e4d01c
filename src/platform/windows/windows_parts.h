// The pieces of the Win32 platform table, each in its own file.
#pragma once

#include "platform/platform.h"
#include "platform/tcp_line.h"

namespace plclink::windows_platform {

// The line operations: serial ports and TCP lines, each call routed to the
// backend of its line.
void FillLineOps(PlatformOps& ops);       // windows_serial.cpp
const SocketCalls& WindowsSockets();      // windows_tcp.cpp
void FillDialogOps(PlatformOps& ops);   // windows_dialog.cpp
void FillThreadOps(PlatformOps& ops);   // windows_thread.cpp

}  // namespace plclink::windows_platform
