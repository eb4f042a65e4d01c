#include "ppi/ppi_frame.h"

namespace plclink {

std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return sum;
}

}  // namespace plclink
