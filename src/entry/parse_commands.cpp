// Commands 3 and 4: the address parsers on the call block's record and
// instance.
#include "address/gas_parse.h"
#include "core/vpi_instance.h"
#include "entry/command_handlers.h"

namespace plclink {

std::int32_t SingleParse(VpiCallBlock* callBlock) {
    return ParseSingleGas(ParamsOf<GateParseRecord>(callBlock), InstanceOf(callBlock));
}

std::int32_t BlockParse(VpiCallBlock* callBlock) {
    return ParseBlockGas(ParamsOf<GateParseRecord>(callBlock), InstanceOf(callBlock));
}

}  // namespace plclink
