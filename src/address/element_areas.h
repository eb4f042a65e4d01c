// Areas addressed by element number: timers (T) and counters (C). A tag of
// such an area names one timer or counter by its number (02TW0037 is T37),
// not a byte address, and reads its current value as a signed word. What
// sets these areas apart from the byte-addressed ones:
//   - the number is the element index as it is, never scaled to bytes, and
//     goes on the wire as the item's address (not multiplied by 8);
//   - a read item's transport size is the area code, and the answer holds
//     one record per element (5 bytes per timer, 3 per counter);
//   - an item of one of them names elements, not bytes: it is never merged
//     with another item, not even of the same area;
//   - they are not written.
#pragma once

#include <cstdint>

namespace plclink {

// The highest timer or counter number of the CPUs of the family.
inline constexpr std::int32_t kMaxElementNumber = 255;

// True for VPI_AREA_T and VPI_AREA_C.
bool IsElementAddressedArea(std::uint8_t memArea);

// Whether an item of `memArea` may be merged with a neighbouring item into
// one read of a larger range: never for the element-addressed areas.
bool AreaItemsMerge(std::uint8_t memArea);

// Bytes of one element's record in a read answer: 5 for a timer, 3 for a
// counter, 0 for any other area code.
std::int32_t ElementRecordBytes(std::uint8_t areaCode);

}  // namespace plclink
