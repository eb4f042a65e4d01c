// The instance's initialization file "vpiK7NN.int".
#pragma once

#include <cstdint>

#include "entry/vpi_instance.h"

namespace plclink {

// Reads the first line of the file of VPI `vpiNumber` from the current
// directory; "3 DIGITS" (any case) in it turns on three-digit PLC numbers.
// 0 read, 1 missing or empty.
int ReadInitializationFile(VpiInstance& instance, std::uint16_t vpiNumber);

}  // namespace plclink
