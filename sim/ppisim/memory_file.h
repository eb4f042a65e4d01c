// Memory contents as text, to preload the stations and to dump them. One
// line per run of bytes:
//
//   # comment (also after the bytes)
//   STATION AREA ADDRESS: BYTE BYTE ...
//   2 V 100: 12 34 AB CD
//   * M 0: FF 01
//
// STATION is a station address, or * for every station; AREA is I, Q, M,
// V, S, SM, AI or AQ; ADDRESS is the decimal byte address of the first byte;
// the bytes are hexadecimal, one or two digits each, separated by blanks. A
// dump writes every 16-byte row that holds a non-zero byte, per station and
// area.
//
// Timers and counters go by number, their values decimal, -32768..32767:
//   2 T 37: 1234        T37 holds 1234
//   2 C 12: -5 7        C12 holds -5, C13 holds 7
// A dump writes one line per timer or counter whose value is not 0.
#pragma once

#include <iosfwd>
#include <string>

#include "ppisim/bus.h"

namespace ppisim {

// Stores the file's bytes into the bus's stations. On the first bad line
// returns false with "line N: reason" in `error`; lines before it are kept.
bool LoadMemoryFile(std::istream& in, Bus& bus, std::string* error);

void DumpMemoryFile(std::ostream& out, Bus& bus);

}  // namespace ppisim
