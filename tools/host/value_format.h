// How a value read from the PLC is shown: bytes, words and double words as
// unsigned, signed and hexadecimal; floats as the IEEE-754 single of the 32
// bits; bits as 0 or 1.
#pragma once

#include <cstdint>
#include <string>

#include "element_type.h"

namespace plclink::host {

// The element's bits, masked to its size.
std::uint32_t MaskToSize(ElementType type, std::uint32_t raw);

std::string UnsignedText(ElementType type, std::uint32_t raw);
std::string SignedText(ElementType type, std::uint32_t raw);
// 0x and two, four or eight upper-case hex digits.
std::string HexText(ElementType type, std::uint32_t raw);
// The shortest text that reads back as the same float; nan, inf, -inf.
std::string FloatText(std::uint32_t raw);
bool FloatIsFinite(std::uint32_t raw);

// The main reading of a value: unsigned for B, W and D, the float for F,
// 0 or 1 for a bit.
std::string ValueText(ElementType type, std::uint32_t raw);

}  // namespace plclink::host
