// The address as four decimal digits.
#include <cstdio>

#include "dialog/decimal_text.h"
#include "dialog/tag_format_rules.h"

namespace plclink {

// The text's leading decimal value, as atoi reads it, written back with
// leading zeros. The edit and its arrows keep the value within 0..9999; a
// pasted minus sign gives a negative value, which becomes 0000, so the text
// is always four digits.
void PadAddressDigits(char* text) {
    std::int32_t value = LeadingDecimalValue(text);
    if (value < 0) value = 0;
    if (value > 9999) value = 9999;
    std::snprintf(text, 5, "%04d", static_cast<int>(value));
}

}  // namespace plclink
