// The memory areas a tag can name: by the name a user writes (V, SM, AI, ...)
// and by the memArea byte the module stores for it after a parse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plclink::host {

// The areas dump and load copy as ranges of bytes.
inline constexpr const char* kAreaList = "I, Q, M, V, S, SM, AI or AQ";
// The areas a tag can name: those, timers and counters.
inline constexpr const char* kTagAreaList = "I, Q, M, V, S, SM, AI, AQ, T or C";

// "V", "SM", ...; "?" for a byte that names no area.
std::string AreaName(std::uint8_t memArea);

// The memArea byte of an area name in either letter case; 0 for none.
std::uint8_t MemAreaOfName(std::string_view name);

// The area name written as upper case: "sm" gives "SM"; empty for none.
std::string CanonicalAreaName(std::string_view name);

// Letters of the area name at `at` in a gate address: 2 for SM, AI and AQ
// (either case), else 1.
std::size_t AreaLettersAt(std::string_view text, std::size_t at);

// The analog areas hold words only: their ranges and blocks go as words.
bool HoldsWordsOnly(std::uint8_t memArea);

// Timers (T) and counters (C): a tag names an element by its number, not a
// byte address; their tags are read alone, never merged into a block, and
// they are no range of bytes that dump or load could copy.
bool IsElementAddressed(std::uint8_t memArea);

// Bytes of one timer's (5) or counter's (3) record in a read answer; 0 for
// the other areas.
int ElementRecordBytes(std::uint8_t memArea);

}  // namespace plclink::host
