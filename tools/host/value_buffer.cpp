#include "value_buffer.h"

#include <cstring>

namespace plclink::host {

ValueBuffer::ValueBuffer(ElementType type, int count, Layout layout)
    : type_(type), layout_(layout),
      words_((static_cast<std::size_t>(count > 0 ? count : 1) * ElementBytes(type) + 3) / 4 + 1, 0) {}

std::uint32_t ValueBuffer::element(int index) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(words_.data());
    int size = ElementBytes(type_);
    if (layout_ == Layout::Single && size < 4) {
        std::uint16_t word = 0;
        std::memcpy(&word, bytes + 2, 2);
        return size == 1 && type_ != ElementType::Bit ? word & 0xFFu : word;
    }
    if (size == 1) return bytes[index];
    if (size == 2) {
        std::uint16_t word = 0;
        std::memcpy(&word, bytes + 2 * index, 2);
        return word;
    }
    std::uint32_t dword = 0;
    std::memcpy(&dword, bytes + 4 * index, 4);
    return dword;
}

void ValueBuffer::setElement(int index, std::uint32_t raw) {
    auto* bytes = reinterpret_cast<unsigned char*>(words_.data());
    int size = ElementBytes(type_);
    if (layout_ == Layout::Single && size < 4) {
        auto word = static_cast<std::uint16_t>(raw);
        std::memcpy(bytes + 2, &word, 2);
        return;
    }
    if (size == 1) {
        bytes[index] = static_cast<unsigned char>(raw);
    } else if (size == 2) {
        auto word = static_cast<std::uint16_t>(raw);
        std::memcpy(bytes + 2 * index, &word, 2);
    } else {
        std::memcpy(bytes + 4 * index, &raw, 4);
    }
}

}  // namespace plclink::host
