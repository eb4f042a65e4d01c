// The host's value buffer of the read and write commands: a single value of
// one or two bytes (and a bit) is the 16-bit word at byte 2, a four-byte
// value the 32-bit word at byte 0; a block holds its elements one after
// another from byte 0, also a block of one.
#pragma once

#include <cstdint>
#include <vector>

#include "element_type.h"

namespace plclink::host {

enum class Layout { Single, Block };

class ValueBuffer {
public:
    // Room for `count` elements (a single value: one), at least four bytes.
    ValueBuffer(ElementType type, int count, Layout layout);

    void* data() { return words_.data(); }
    // Element `index` as the driver left it.
    std::uint32_t element(int index) const;
    void setElement(int index, std::uint32_t raw);

private:
    ElementType type_;
    Layout layout_;
    std::vector<std::uint32_t> words_;  // keeps the buffer 4-byte aligned
};

}  // namespace plclink::host
