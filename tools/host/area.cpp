#include "area.h"

#include <cctype>

#include "plclink/vpi.h"

namespace plclink::host {

namespace {

struct AreaEntry {
    const char* name;
    unsigned memArea;
};

constexpr AreaEntry kAreas[] = {
    {"I", 'I'},         {"Q", 'Q'},          {"M", 'M'},          {"V", 'V'},
    {"S", VPI_AREA_S}, {"SM", VPI_AREA_SM}, {"AI", VPI_AREA_AI}, {"AQ", VPI_AREA_AQ},
    {"T", VPI_AREA_T}, {"C", VPI_AREA_C},
};

std::string Upper(std::string_view text) {
    std::string upper;
    for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

}  // namespace

std::string AreaName(std::uint8_t memArea) {
    for (const AreaEntry& area : kAreas)
        if (area.memArea == memArea) return area.name;
    return "?";
}

std::uint8_t MemAreaOfName(std::string_view name) {
    const std::string upper = Upper(name);
    for (const AreaEntry& area : kAreas)
        if (upper == area.name) return static_cast<std::uint8_t>(area.memArea);
    return 0;
}

std::string CanonicalAreaName(std::string_view name) {
    return MemAreaOfName(name) != 0 ? Upper(name) : std::string();
}

std::size_t AreaLettersAt(std::string_view text, std::size_t at) {
    if (text.size() < at + 2) return 1;
    const std::uint8_t memArea = MemAreaOfName(text.substr(at, 2));
    return memArea == VPI_AREA_SM || memArea == VPI_AREA_AI || memArea == VPI_AREA_AQ ? 2 : 1;
}

bool HoldsWordsOnly(std::uint8_t memArea) { return memArea == VPI_AREA_AI || memArea == VPI_AREA_AQ; }

bool IsElementAddressed(std::uint8_t memArea) { return memArea == VPI_AREA_T || memArea == VPI_AREA_C; }

int ElementRecordBytes(std::uint8_t memArea) {
    return memArea == VPI_AREA_T ? 5 : memArea == VPI_AREA_C ? 3 : 0;
}

}  // namespace plclink::host
