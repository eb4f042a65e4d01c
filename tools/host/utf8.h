// UTF-8 as the tool checks it before text reaches a terminal or a JSON
// document.
#pragma once

#include <cstddef>
#include <string>

namespace plclink::host {

// Length of the well-formed UTF-8 sequence of two to four bytes at `at`, or
// 0 when the bytes there are not one (a lone byte of 0x80 or above, a
// truncated or overlong sequence, a surrogate).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at);

}  // namespace plclink::host
