// Byte strings written as hexadecimal text in the tests.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

#include "ppisim/frame.h"

namespace ppisim::testing {

inline Bytes Hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    for (std::string word; in >> word;) bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

inline std::string ToHex(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(part, sizeof part, text.empty() ? "%02X" : " %02X", b);
        text += part;
    }
    return text;
}

}  // namespace ppisim::testing
