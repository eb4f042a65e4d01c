// What one value of a tag is: a byte, word, double word, float or bit.
#pragma once

#include <cstdint>
#include <string_view>

namespace plclink::host {

enum class ElementType { Byte, Word, DWord, Float, Bit };

// Size of one element in bytes as the PLC stores it (a bit lives in a byte).
int ElementBytes(ElementType type);

// "byte", "word", "dword", "float", "bit".
std::string_view ElementName(ElementType type);

// The element type letter of a gate address (B, W, D, F), upper case.
char ElementLetter(ElementType type);

// The host's gate type for a single tag of this type (command 3).
std::int32_t GateTypeOf(ElementType type);

}  // namespace plclink::host
