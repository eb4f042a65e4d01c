// The two parsers of a gate address string: each checks the GAS in the
// record against the instance's PLC number form and fills the record's
// GateAddress. Both return VPI_OK, or VPI_FAILED for a rejected address.
#pragma once

#include <cstdint>

#include "core/vpi_instance.h"
#include "plclink/vpi.h"

namespace plclink {

// One tag, checked against the record's gate type (command 3).
std::int32_t ParseSingleGas(GateParseRecord* record, const VpiInstance* instance);

// The first element of a block; the gate type is not read (command 4).
std::int32_t ParseBlockGas(GateParseRecord* record, const VpiInstance* instance);

}  // namespace plclink
