#include "value_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace plclink::host {

std::uint32_t MaskToSize(ElementType type, std::uint32_t raw) {
    switch (ElementBytes(type)) {
        case 1: return type == ElementType::Bit ? (raw != 0 ? 1u : 0u) : raw & 0xFFu;
        case 2: return raw & 0xFFFFu;
        default: return raw;
    }
}

std::string UnsignedText(ElementType type, std::uint32_t raw) {
    return std::to_string(MaskToSize(type, raw));
}

std::string SignedText(ElementType type, std::uint32_t raw) {
    std::uint32_t value = MaskToSize(type, raw);
    switch (type) {
        case ElementType::Byte: return std::to_string(static_cast<std::int8_t>(value));
        case ElementType::Word: return std::to_string(static_cast<std::int16_t>(value));
        case ElementType::Bit: return std::to_string(value);
        default: return std::to_string(static_cast<std::int32_t>(value));
    }
}

std::string HexText(ElementType type, std::uint32_t raw) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", ElementBytes(type) * 2,
                  static_cast<unsigned>(MaskToSize(type, raw)));
    return text;
}

bool FloatIsFinite(std::uint32_t raw) { return std::isfinite(std::bit_cast<float>(raw)); }

std::string FloatText(std::uint32_t raw) {
    float value = std::bit_cast<float>(raw);
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    if (ec != std::errc()) return "?";
    return std::string(text, end);
}

std::string ValueText(ElementType type, std::uint32_t raw) {
    return type == ElementType::Float ? FloatText(raw) : UnsignedText(type, raw);
}

}  // namespace plclink::host
