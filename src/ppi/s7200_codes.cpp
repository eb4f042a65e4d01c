// The item specification's code tables and the size of one value.
#include "ppi/s7200_messages.h"

namespace plclink {

std::uint8_t TransportSizeOf(std::uint8_t memAreaBits) {
    switch (memAreaBits) {
        case 1:
        case 8: return 0x02;   // byte
        case 32: return 0x06;  // double word
        default: return 0x04;  // word
    }
}

std::uint8_t AreaCodeOf(std::uint8_t memArea) {
    switch (memArea) {
        case 'I': return 0x81;
        case 'Q': return 0x82;
        case 'M': return 0x83;
        case 'V': return 0x84;
        // Sequence relays, special memory, analog inputs and outputs, timers
        // and counters: their memArea byte is their area code.
        case VPI_AREA_S:
        case VPI_AREA_SM:
        case VPI_AREA_AI:
        case VPI_AREA_AQ:
        case VPI_AREA_T:
        case VPI_AREA_C: return memArea;
        default: return 0;
    }
}

std::int32_t ReadItemSize(std::uint8_t memAreaBits) {
    return memAreaBits == 1 ? 1 : memAreaBits / 8;
}

std::int32_t WriteItemSize(const TagAccessRecord& record) {
    return record.bitNumber != VPI_NO_BIT ? 1 : record.memAreaBits / 8;
}

}  // namespace plclink
