#include "address/gas_syntax.h"

#include "address/element_areas.h"

#include <cstring>
#include <string_view>

#include "plclink/vpi.h"

namespace plclink {
namespace {

constexpr char kDigits[] = "0123456789";
// The area slot of the class tables. CheckGasChars takes a whole area name
// there (AreaNameLength): these letters, S, T, C, or SM, AI and AQ.
constexpr char kAreas[] = "IQMV";
constexpr char kElementTypes[] = "BWDF";
constexpr char kBits[] = "01234567";

// The area names and what the parsers store for them; two-letter names
// first, so that SM is not taken for S.
struct AreaName {
    char name[3];
    std::uint8_t memArea;
};
constexpr AreaName kAreaNames[] = {
    {"SM", VPI_AREA_SM}, {"AI", VPI_AREA_AI}, {"AQ", VPI_AREA_AQ}, {"I", 'I'},
    {"Q", 'Q'},          {"M", 'M'},          {"V", 'V'},          {"S", VPI_AREA_S},
    {"T", VPI_AREA_T},   {"C", VPI_AREA_C},
};

// The entry whose name begins `text`, or nullptr.
const AreaName* AreaNameAt(const char* text) {
    for (const AreaName& area : kAreaNames) {
        if (text[0] != area.name[0]) continue;
        if (area.name[1] == '\0' || text[1] == area.name[1]) return &area;
    }
    return nullptr;
}

// The one work area of the module: every parse normalises into it and reads
// its checks and numbers from it, never from the host's text.
char workArea[kGasWorkAreaSize];

}  // namespace

const GasClassTable kTwoDigitGasClasses = {
    kDigits, kDigits, kAreas, kElementTypes, kDigits, kDigits,
    kDigits, kDigits, kBits,  nullptr,       nullptr, nullptr,
};

const GasClassTable kThreeDigitGasClasses = {
    kDigits, kDigits, kDigits, kAreas, kElementTypes, kDigits,
    kDigits, kDigits, kDigits, kBits,  nullptr,       nullptr,
};

GasForm GasFormFor(std::uint32_t threeDigitPlc) {
    if (threeDigitPlc != 0) return GasForm{kThreeDigitGasClasses, 3};
    return GasForm{kTwoDigitGasClasses, 2};
}

GasForm NormalizedGasForm(std::uint32_t threeDigitPlc) {
    GasForm form = GasFormFor(threeDigitPlc);
    if (AreaNameLength(workArea + form.areaPosition()) == 2) form.areaLetters = 2;
    return form;
}

std::size_t AreaNameLength(const char* text) {
    const AreaName* area = AreaNameAt(text);
    return area != nullptr ? std::strlen(area->name) : 0;
}

std::uint8_t MemAreaOf(const char* text) {
    const AreaName* area = AreaNameAt(text);
    return area != nullptr ? area->memArea : 0;
}

bool AreaTakesWordsOnly(std::uint8_t memArea) {
    return memArea == VPI_AREA_AI || memArea == VPI_AREA_AQ || IsElementAddressedArea(memArea);
}

void NormalizeGas(const char* gas) {
    std::memset(workArea, 0, sizeof workArea);
    if (gas == nullptr) return;
    for (std::size_t i = 0; i < kGasMaxLength && gas[i] != '\0'; ++i) {
        const auto code = static_cast<signed char>(gas[i]);
        workArea[i] = static_cast<char>(code >= 'a' ? code - 0x20 : code);
    }
}

bool GasFitsWorkArea(const char* gas) {
    return gas != nullptr && ::strnlen(gas, kGasWorkAreaSize) <= kGasMaxLength;
}

const char* NormalizedGas() { return workArea; }

int CheckGasChars(const GasClassTable& classes) {
    const std::size_t length = ::strnlen(workArea, kGasMaxLength);
    std::size_t slot = 0;
    for (std::size_t i = 0; i < length; ++i, ++slot) {
        if (slot >= classes.size() || classes[slot] == nullptr) return 1;
        if (classes[slot] == kAreas) {
            // The area slot holds one area name of one or two letters.
            const std::size_t letters = AreaNameLength(workArea + i);
            if (letters == 0) return 1;
            i += letters - 1;
            continue;
        }
        if (std::string_view(classes[slot]).find(workArea[i]) == std::string_view::npos) return 1;
    }
    return 0;
}

std::int32_t ReadDecimal(const char* text, std::size_t maxDigits) {
    std::int32_t value = 0;
    for (std::size_t i = 0; i < maxDigits && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::uint16_t DecDigitsToNum(const char* digits, std::uint8_t count) {
    std::uint16_t value = 0;
    for (std::uint8_t i = 0; i < count; ++i) {
        const auto code = static_cast<signed char>(digits[i]);
        const auto digit = static_cast<std::uint8_t>(code > '9' ? code - 0x37 : code - 0x30);
        value = static_cast<std::uint16_t>(value * 10 + digit);
    }
    return value;
}

int TestBit(std::uint32_t value, std::int32_t bit) {
    if (bit >= 16) return 0;
    const auto mask = static_cast<std::uint16_t>(bit <= 0 ? 1u : 1u << bit);
    return (static_cast<std::uint16_t>(value) & mask) != 0 ? 1 : 0;
}

int ScaleAddress(std::int32_t* address, std::int32_t sizeBits) {
    if (address == nullptr) return 1;
    if (sizeBits == 16) *address /= 2;
    if (sizeBits == 32) *address /= 4;
    return 1;
}

}  // namespace plclink
