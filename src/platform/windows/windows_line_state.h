// Our line state and time-outs in the Win32 records (DCB, COMMTIMEOUTS) and
// back, and the device name under which a port is opened.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/platform.h"

namespace plclink::windows_platform {

// Reads the fields of LineState out of a DCB.
LineState LineStateOf(const DCB& dcb);

// Writes the fields of LineState into `dcb`; every other field (XON/XOFF
// limits and characters, end-of-file and event characters, continue on
// XOFF) keeps what `dcb` held.
void ApplyLineState(const LineState& state, DCB& dcb);

LineTimeouts LineTimeoutsOf(const COMMTIMEOUTS& timeouts);
COMMTIMEOUTS CommTimeoutsOf(const LineTimeouts& timeouts);

// The name to open a port by: "COM10" and above only open as "\\.\COM10";
// every other name is used as given. False when `room` is too small.
bool DeviceNameOf(const char* portName, char* out, std::size_t room);

}  // namespace plclink::windows_platform
