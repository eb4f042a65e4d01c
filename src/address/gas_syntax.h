// Gate address string (GAS) syntax: the module-wide work area that holds the
// normalised GAS, the per-position character classes of the two PLC-number
// forms, and the digit and address routines shared by the address parsers
// and the PPI message layer.
//
// Layout of a GAS (positions in the normalised text):
//   two-digit form   PP A T NNNN [b]   e.g. 01MB0012, 01IB00037
//   three-digit form PPP A T NNNN [b]  e.g. 001MB0012, 001IB00037
// P PLC number, A memory area (I Q M V S T C, or the two letters SM AI AQ),
// T element type (BWDF), N byte address, b bit number (0..7) of a bit tag.
// In the timer and counter areas N is the element's number (02TW0037: T37).
// A two-letter area moves every later field one place to the right
// (02SMB00005, 002AQW0002).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace plclink {

// The work area holds at most this many characters plus the terminating zero.
inline constexpr std::size_t kGasWorkAreaSize = 12;
inline constexpr std::size_t kGasMaxLength = kGasWorkAreaSize - 1;

// One slot per position: the admitted characters, or nullptr where no
// character is admitted.
using GasClassTable = std::array<const char*, kGasWorkAreaSize>;

extern const GasClassTable kTwoDigitGasClasses;    // 9 classes
extern const GasClassTable kThreeDigitGasClasses;  // 10 classes

// Where the fields of a GAS stand in one PLC-number form, for an area name
// of one or two letters.
struct GasForm {
    const GasClassTable& classes;
    std::size_t plcDigits;  // 2 or 3
    std::size_t areaLetters = 1;

    std::size_t areaPosition() const { return plcDigits; }
    std::size_t typePosition() const { return plcDigits + areaLetters; }
    std::size_t addressPosition() const { return typePosition() + 1; }
    std::size_t bitPosition() const { return typePosition() + 5; }
    std::size_t plainLength() const { return typePosition() + 5; }  // without a bit
};

// The form in force: the two-digit one unless `threeDigitPlc` is non-zero.
GasForm GasFormFor(std::uint32_t threeDigitPlc);

// The form in force for the normalised GAS, with the width of its area name.
GasForm NormalizedGasForm(std::uint32_t threeDigitPlc);

// The letters of the area name that begins at `text`: 2 for SM, AI and AQ,
// 1 for I, Q, M, V, S, T and C, 0 for anything else.
std::size_t AreaNameLength(const char* text);

// The memArea byte of the area name at `text`: the letter of I, Q, M and V,
// VPI_AREA_S, VPI_AREA_SM, VPI_AREA_AI, VPI_AREA_AQ, VPI_AREA_T or
// VPI_AREA_C for the others; 0 if none.
std::uint8_t MemAreaOf(const char* text);

// Analog inputs and outputs, timers and counters hold words only: no byte,
// double word or bit.
bool AreaTakesWordsOnly(std::uint8_t memArea);

// Zeroes the work area and copies the GAS into it with the lower-case
// letters raised (0x20 taken from every code 'a' and above, as signed bytes).
// Copies at most kGasMaxLength characters; a null `gas` leaves it empty.
void NormalizeGas(const char* gas);

// True when `gas` is a text that fits the work area whole.
bool GasFitsWorkArea(const char* gas);

// The normalised GAS of the last NormalizeGas.
const char* NormalizedGas();

// 1 when a character of the work area lies outside its position's class
// (a position without a class admits nothing), else 0. The area slot takes
// a whole area name, one or two letters.
int CheckGasChars(const GasClassTable& classes);

// Reads up to `maxDigits` decimal digits, stopping at the first other
// character; 0 when there is none.
std::int32_t ReadDecimal(const char* text, std::size_t maxDigits);

// The value of `count` digit characters, '0'..'9' and 'A'..'F' counting
// 0..15 in decimal places; arithmetic wraps at 16 bits.
std::uint16_t DecDigitsToNum(const char* digits, std::uint8_t count);

// 1 when bit `bit` of the low 16 bits of `value` is set; a bit of 16 or
// more is never set, a bit of 0 or less tests bit 0.
int TestBit(std::uint32_t value, std::int32_t bit);

// Turns a byte address into an element index for an element of `sizeBits`
// bits (16: halved, 32: quartered, anything else unchanged). Always 1.
int ScaleAddress(std::int32_t* address, std::int32_t sizeBits);

}  // namespace plclink
