// Connects this program to the module's log before the module is loaded.
#pragma once

namespace plclink::host {

// On Linux the program defines the host library's functions itself and
// nothing is to be done; on Windows the module imports them from
// KORVAN.dll, and the stand-in library is told to hand its lines over.
void ConnectHostLibrary();

}  // namespace plclink::host
