// A tag's value taken out of the bytes of a block read, as a single read
// (command 5) gives it: bytes, words and double words big-endian as the
// controller stores them, floats as their 32 bits, a bit as 0 or 1.
#pragma once

#include <cstdint>

#include "tag.h"
#include "value_buffer.h"

namespace plclink::host {

// The value of `tag` from `bytes`, the controller's memory from byte
// address `firstByte` on; the tag must lie within it.
std::uint32_t ValueInBlock(const Tag& tag, const std::uint8_t* bytes, int firstByte);

// The host buffer a single read of `tag` with that value leaves.
ValueBuffer SingleReadBuffer(const Tag& tag, std::uint32_t value);

}  // namespace plclink::host
