// Why a serial port could not be opened, found by trying it the way the
// driver would: missing, not permitted, in use, or not a serial device.
#pragma once

#include <string>

namespace plclink::host {

// `port` as the user gave it; the probe opens the device the driver opens
// for the name it is handed, so a bare name (pts/1, ttyUSB0) is found under
// /dev as the driver finds it.
std::string WhyPortFails(const std::string& port);

// The device the driver opens on Linux for a port name it is handed: a
// path as it is, NUL as /dev/null, COM1..COM9 as /dev/ttyS0..8, any other
// name under /dev.
std::string DevicePathOfPort(const std::string& driverName);

}  // namespace plclink::host
