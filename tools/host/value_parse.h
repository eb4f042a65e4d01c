// How a value to write is read from the command line: decimal (a minus sign
// gives the two's complement of the element's size), 0x hexadecimal, a
// decimal or exponent float for F tags (0x gives its raw IEEE-754 bits), and
// 0 or 1 for bits. Anything that does not fit the element is refused here,
// before anything is sent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "element_type.h"

namespace plclink::host {

struct ParsedValue {
    bool ok = false;
    std::uint32_t raw = 0;  // the element's bits
    std::string why;        // when not ok
};

ParsedValue ParseValue(ElementType type, std::string_view text);

}  // namespace plclink::host
