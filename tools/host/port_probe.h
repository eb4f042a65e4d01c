// Why a serial port could not be opened, found by trying it the way the
// driver would: missing, not permitted, in use, or not a serial device.
#pragma once

#include <string>

namespace plclink::host {

std::string WhyPortFails(const std::string& port);

}  // namespace plclink::host
