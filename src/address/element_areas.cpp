#include "address/element_areas.h"

#include "plclink/vpi.h"

namespace plclink {

bool IsElementAddressedArea(std::uint8_t memArea) {
    return memArea == VPI_AREA_T || memArea == VPI_AREA_C;
}

bool AreaItemsMerge(std::uint8_t memArea) { return !IsElementAddressedArea(memArea); }

std::int32_t ElementRecordBytes(std::uint8_t areaCode) {
    // The record layout published by client libraries for this family: the
    // current value in the last two bytes, big-endian; the bytes before it
    // (status and time base of a timer, status of a counter) are not read.
    switch (areaCode) {
        case VPI_AREA_T: return 5;
        case VPI_AREA_C: return 3;
        default: return 0;
    }
}

}  // namespace plclink
