#include "address/gas_syntax.h"

#include <cstring>
#include <string_view>

namespace plclink {
namespace {

constexpr char kDigits[] = "0123456789";
constexpr char kAreas[] = "IQMV";
constexpr char kElementTypes[] = "BWDF";
constexpr char kBits[] = "01234567";

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
    for (std::size_t i = 0; i < length; ++i) {
        if (classes[i] == nullptr) return 1;
        if (std::string_view(classes[i]).find(workArea[i]) == std::string_view::npos) return 1;
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
