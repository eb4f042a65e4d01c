// Decimal digits in the dialog's texts. Only the characters 0 to 9 count,
// whatever the locale or the sign of the byte.
#pragma once

#include <cstdint>

namespace plclink {

constexpr bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// The text's leading decimal number in the manner of atoi (leading blanks,
// an optional sign, then digits; 0 when there are none), saturating instead
// of overflowing.
constexpr std::int32_t LeadingDecimalValue(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    std::int32_t value = 0;
    for (; IsDecimalDigit(*text); ++text)
        value = value >= 100000000 ? 999999999 : value * 10 + (*text - '0');
    return negative ? -value : value;
}

}  // namespace plclink
