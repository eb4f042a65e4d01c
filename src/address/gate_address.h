// Writing the GateAddress fields of a GateParseRecord, the same way for the
// single and the block parser.
#pragma once

#include <cstdint>

#include "address/gas_syntax.h"
#include "plclink/vpi.h"

namespace plclink {

// Element sizes in bits.
inline constexpr std::int32_t kByteBits = 8;
inline constexpr std::int32_t kWordBits = 16;
inline constexpr std::int32_t kDoubleBits = 32;

// What every parse stores before its checks: not a bit, a word until the
// element type is known.
void MarkParseBegun(GateParseRecord& record);

// The PLC number of the normalised GAS.
void StorePlcNumber(GateParseRecord& record, const GasForm& form);

// The byte address of the normalised GAS as a decimal number.
std::int32_t GasByteAddress(const GasForm& form);

// The address as the alignment rules see it: a timer's or counter's number
// names a whole element, so it is aligned to every element size.
std::int32_t GasAlignedAddress(const GasForm& form);

// True when the GAS names a timer or counter above the highest number.
bool GasElementNumberTooHigh(const GasForm& form);

// The fields of an accepted element: size, element index, area field.
void StoreElement(GateParseRecord& record, const GasForm& form, std::int32_t sizeBits);

}  // namespace plclink
