// A value of a tag as one result record: unsigned, signed and hexadecimal
// readings, or the float, or the bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "element_type.h"
#include "report.h"

namespace plclink::host {

// The columns a table or CSV of values shows.
const std::vector<std::string>& ValueColumns();

// tag, type, value, signed, hex and status "ok".
// `signedValue`: the value column reads the word as signed (timers and
// counters, whose values are signed numbers).
Record ValueRecord(const std::string& tagText, ElementType type, std::uint32_t raw,
                   bool signedValue = false);

// tag and type, for a record that will carry a failure.
Record TagRecord(const std::string& tagText, ElementType type);

}  // namespace plclink::host
