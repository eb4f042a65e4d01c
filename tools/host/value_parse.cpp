#include "value_parse.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace plclink::host {

namespace {

ParsedValue Refuse(std::string why) { return ParsedValue{false, 0, std::move(why)}; }

// The user's text in single quotes. Built by appending: GCC 12 warns falsely
// (-Wrestrict, GCC bug 105651) about "'" + std::string at -O2 and above.
std::string Quoted(std::string_view text) {
    std::string quoted(1, '\'');
    quoted.append(text);
    quoted += '\'';
    return quoted;
}

bool IsHex(std::string_view text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Whole text as an unsigned hexadecimal number after 0x.
bool ReadHex(std::string_view text, std::uint64_t& value) {
    std::string_view digits = text.substr(2);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return ec == std::errc() && end == digits.data() + digits.size();
}

// Whole text as a signed decimal number; an optional leading + is allowed.
bool ReadDecimal(std::string_view text, std::int64_t& value) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty() || text[0] == '+') return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string Range(std::int64_t low, std::int64_t high) {
    return std::to_string(low) + ".." + std::to_string(high);
}

ParsedValue ParseInteger(ElementType type, std::string_view text) {
    int bits = ElementBytes(type) * 8;
    std::uint64_t top = (std::uint64_t{1} << bits) - 1;
    std::int64_t lowest = -(std::int64_t{1} << (bits - 1));
    std::string name(ElementName(type));
    if (IsHex(text)) {
        std::uint64_t value = 0;
        if (!ReadHex(text, value)) return Refuse(Quoted(text) + " is not a hexadecimal number");
        if (value > top) return Refuse(Quoted(text) + " does not fit a " + name);
        return ParsedValue{true, static_cast<std::uint32_t>(value), {}};
    }
    std::int64_t value = 0;
    if (!ReadDecimal(text, value)) {
        return Refuse(Quoted(text) + " is not a whole number (decimal or 0x hex)");
    }
    if (value < lowest || value > static_cast<std::int64_t>(top)) {
        return Refuse(Quoted(text) + " is out of range for a " + name + " (" +
                      Range(lowest, static_cast<std::int64_t>(top)) + ")");
    }
    return ParsedValue{true, static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) & top), {}};
}

ParsedValue ParseFloat(std::string_view text) {
    if (IsHex(text)) {
        std::uint64_t bits = 0;
        if (!ReadHex(text, bits) || bits > 0xFFFFFFFFu) {
            return Refuse(Quoted(text) + " is not the 32 bits of a float");
        }
        return ParsedValue{true, static_cast<std::uint32_t>(bits), {}};
    }
    std::string_view digits = text;
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    // Read straight into a single, so the value is rounded once, correctly;
    // overflow and underflow to zero come back as out of range.
    float value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                     std::chars_format::general);
    if (digits.empty() || digits[0] == '+' || ec == std::errc::invalid_argument ||
        end != digits.data() + digits.size()) {
        return Refuse(Quoted(text) + " is not a number");
    }
    if (ec == std::errc::result_out_of_range || !std::isfinite(value)) {
        return Refuse(Quoted(text) + " is out of range for a float");
    }
    return ParsedValue{true, std::bit_cast<std::uint32_t>(value), {}};
}

}  // namespace

ParsedValue ParseValue(ElementType type, std::string_view text) {
    switch (type) {
        case ElementType::Bit:
            if (text == "0") return ParsedValue{true, 0, {}};
            if (text == "1") return ParsedValue{true, 1, {}};
            return Refuse(Quoted(text) + " is not a bit value (0 or 1)");
        case ElementType::Float: return ParseFloat(text);
        default: return ParseInteger(type, text);
    }
}

}  // namespace plclink::host
