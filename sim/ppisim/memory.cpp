#include "ppisim/memory.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace ppisim {

std::optional<Area> AreaOfCode(std::uint8_t code) {
    switch (code) {
    case kAreaCodeI: return Area::I;
    case kAreaCodeQ: return Area::Q;
    case kAreaCodeM: return Area::M;
    case kAreaCodeV: return Area::V;
    case kAreaCodeS: return Area::S;
    case kAreaCodeSM: return Area::SM;
    case kAreaCodeAI: return Area::AI;
    case kAreaCodeAQ: return Area::AQ;
    default: return std::nullopt;
    }
}

std::optional<Area> AreaOfName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (Area area : kAllAreas)
        if (NameOf(area) == upper) return area;
    return std::nullopt;
}

std::string_view NameOf(Area area) {
    static constexpr std::string_view kNames[kAreaCount] = {"I", "Q", "M",  "V",
                                                            "S", "SM", "AI", "AQ"};
    return kNames[static_cast<std::size_t>(area)];
}

std::size_t AreaSizes::of(Area area) const {
    switch (area) {
    case Area::I: return i;
    case Area::Q: return q;
    case Area::M: return m;
    case Area::V: return v;
    case Area::S: return s;
    case Area::SM: return sm;
    case Area::AI: return ai;
    case Area::AQ: return aq;
    }
    return 0;
}

StationMemory::StationMemory(const AreaSizes& sizes) {
    for (Area area : kAllAreas) areas_[Index(area)].assign(sizes.of(area), 0);
}

bool StationMemory::readOnly(Area area, std::size_t address, std::size_t count) {
    if (area == Area::AI) return true;
    return area == Area::SM && count > 0 && address < kReadOnlySmBytes;
}

bool StationMemory::contains(Area area, std::size_t address, std::size_t count) const {
    const std::size_t size = areas_[Index(area)].size();
    return address <= size && count <= size - address;
}

bool StationMemory::read(Area area, std::size_t address, std::span<std::uint8_t> out) const {
    if (!contains(area, address, out.size())) return false;
    const Bytes& bytes = areas_[Index(area)];
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(address), out.size(), out.begin());
    return true;
}

bool StationMemory::write(Area area, std::size_t address, std::span<const std::uint8_t> values) {
    if (!contains(area, address, values.size())) return false;
    std::copy(values.begin(), values.end(),
              areas_[Index(area)].begin() + static_cast<std::ptrdiff_t>(address));
    return true;
}

bool StationMemory::readBit(Area area, std::size_t bitAddress, bool& value) const {
    if (!contains(area, bitAddress / 8, 1)) return false;
    value = (areas_[Index(area)][bitAddress / 8] >> (bitAddress % 8)) & 1;
    return true;
}

bool StationMemory::writeBit(Area area, std::size_t bitAddress, bool value) {
    if (!contains(area, bitAddress / 8, 1)) return false;
    std::uint8_t& byte = areas_[Index(area)][bitAddress / 8];
    const auto mask = static_cast<std::uint8_t>(1u << (bitAddress % 8));
    byte = value ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
    return true;
}

}  // namespace ppisim
