// The pieces of the Linux platform table, each in its own file.
#pragma once

#include "platform/platform.h"
#include "platform/tcp_line.h"

namespace plclink::linux_platform {

// The line operations: serial ports and TCP lines, each call routed to the
// backend of its line.
void FillLineOps(PlatformOps& ops);     // linux_serial.cpp
const SocketCalls& LinuxSockets();      // linux_tcp.cpp
void FillDialogOps(PlatformOps& ops);   // linux_dialog.cpp
void FillThreadOps(PlatformOps& ops);   // linux_thread.cpp

}  // namespace plclink::linux_platform
