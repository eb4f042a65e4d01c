#include "block_values.h"

namespace plclink::host {

std::uint32_t ValueInBlock(const Tag& tag, const std::uint8_t* bytes, int firstByte) {
    const std::uint8_t* at = bytes + (tag.byteAddress() - firstByte);
    std::uint32_t value = 0;
    for (int i = 0; i < ElementBytes(tag.type); ++i) value = value << 8 | at[i];
    if (tag.type == ElementType::Bit) return tag.bitNumber < 8 ? (value >> tag.bitNumber) & 1u : 0u;
    return value;
}

ValueBuffer SingleReadBuffer(const Tag& tag, std::uint32_t value) {
    ValueBuffer buffer(tag.type, 1, Layout::Single);
    buffer.setElement(0, value);
    return buffer;
}

}  // namespace plclink::host
