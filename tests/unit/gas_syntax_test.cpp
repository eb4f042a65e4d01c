#include "address/gas_syntax.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace plclink {
namespace {

bool Passes(const char* gas, const GasClassTable& classes) {
    NormalizeGas(gas);
    return CheckGasChars(classes) == 0;
}

TEST(NormalizeGas, RaisesLowerCaseAndLeavesEverythingElse) {
    NormalizeGas("01mb0012");
    EXPECT_STREQ(NormalizedGas(), "01MB0012");
    // Codes 0x7B..0x7F move too, onto characters no class admits; bytes
    // 0x80..0xFF are negative as signed bytes and stay as they are.
    NormalizeGas("{|}~\x7F\x80\xE1 A@");
    EXPECT_STREQ(NormalizedGas(), "[\\]^_\x80\xE1 A@");
}

TEST(NormalizeGas, NeverFillsMoreThanElevenCharactersAndClearsWhatWasThere) {
    NormalizeGas("001mb00127x");
    EXPECT_STREQ(NormalizedGas(), "001MB00127X");
    NormalizeGas("0123456789abcdefghij");
    EXPECT_EQ(std::string(NormalizedGas(), kGasWorkAreaSize), std::string("0123456789A\0", 12));
    NormalizeGas("01");
    EXPECT_EQ(std::string(NormalizedGas(), kGasWorkAreaSize), std::string("01\0\0\0\0\0\0\0\0\0\0", 12));
    NormalizeGas(nullptr);
    EXPECT_STREQ(NormalizedGas(), "");
}

TEST(GasFitsWorkArea, AdmitsElevenCharactersAtMost) {
    EXPECT_TRUE(GasFitsWorkArea(""));
    EXPECT_TRUE(GasFitsWorkArea("01234567890"));
    EXPECT_FALSE(GasFitsWorkArea("012345678901"));
    EXPECT_FALSE(GasFitsWorkArea(nullptr));
}

TEST(CheckGasChars, TwoDigitFormChecksEachPresentPosition) {
    EXPECT_TRUE(Passes("01mb0012", kTwoDigitGasClasses));
    EXPECT_TRUE(Passes("01MB00127", kTwoDigitGasClasses));
    EXPECT_TRUE(Passes("99QD9996", kTwoDigitGasClasses));
    EXPECT_TRUE(Passes("01M", kTwoDigitGasClasses));
    EXPECT_TRUE(Passes("", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("01XB0012", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("01MA0012", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("01MB00128", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("0AMB0012", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("01MB0A12", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("01MB 012", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("01{B0012", kTwoDigitGasClasses));  // '{' normalises to '['
}

TEST(CheckGasChars, PositionsWithoutAClassAdmitNothing) {
    EXPECT_FALSE(Passes("01MB001207", kTwoDigitGasClasses));
    EXPECT_FALSE(Passes("001MB001207", kThreeDigitGasClasses));
    EXPECT_FALSE(Passes("01MB0012070123", kTwoDigitGasClasses));
}

TEST(CheckGasChars, ThreeDigitFormWantsThreePlcDigits) {
    EXPECT_FALSE(Passes("01MB0012", kThreeDigitGasClasses));
    EXPECT_TRUE(Passes("001MB0012", kThreeDigitGasClasses));
    EXPECT_TRUE(Passes("999vf99967", kThreeDigitGasClasses));
    EXPECT_FALSE(Passes("001MB00128", kThreeDigitGasClasses));
}

TEST(GasForm, FieldPositionsOfBothForms) {
    const GasForm two = GasFormFor(0);
    EXPECT_EQ(&two.classes, &kTwoDigitGasClasses);
    EXPECT_EQ(two.areaPosition(), 2u);
    EXPECT_EQ(two.typePosition(), 3u);
    EXPECT_EQ(two.addressPosition(), 4u);
    EXPECT_EQ(two.bitPosition(), 8u);
    const GasForm three = GasFormFor(0x100);
    EXPECT_EQ(&three.classes, &kThreeDigitGasClasses);
    EXPECT_EQ(three.areaPosition(), 3u);
    EXPECT_EQ(three.bitPosition(), 9u);
    EXPECT_EQ(three.plainLength(), 9u);
}

TEST(DigitRoutines, DecDigitsToNum) {
    EXPECT_EQ(DecDigitsToNum("0012", 4), 12);
    EXPECT_EQ(DecDigitsToNum("9999", 4), 9999);
    EXPECT_EQ(DecDigitsToNum("0012", 2), 0);
    EXPECT_EQ(DecDigitsToNum("", 0), 0);
    EXPECT_EQ(DecDigitsToNum("1A", 2), 20);      // 'A' counts 10 in the units place
    EXPECT_EQ(DecDigitsToNum("F", 1), 15);
    EXPECT_EQ(DecDigitsToNum("99999", 5), 34463);  // 99999 mod 65536
}

TEST(DigitRoutines, ReadDecimalStopsAtTheFirstNonDigit) {
    EXPECT_EQ(ReadDecimal("01MB", 2), 1);
    EXPECT_EQ(ReadDecimal("999", 3), 999);
    EXPECT_EQ(ReadDecimal("1", 3), 1);
    EXPECT_EQ(ReadDecimal("", 2), 0);
    EXPECT_EQ(ReadDecimal("7", 1), 7);
}

TEST(DigitRoutines, TestBit) {
    EXPECT_EQ(TestBit(0x0080, 7), 1);
    EXPECT_EQ(TestBit(0x0080, 6), 0);
    EXPECT_EQ(TestBit(0x8000, 15), 1);
    EXPECT_EQ(TestBit(0xFFFF, 16), 0);
    EXPECT_EQ(TestBit(0x10000, 0), 0);  // only the low 16 bits count
    EXPECT_EQ(TestBit(0x0001, 0), 1);
    EXPECT_EQ(TestBit(0x0001, -3), 1);  // 0 or less tests bit 0
    EXPECT_EQ(TestBit(0x0002, -1), 0);
}

TEST(DigitRoutines, ScaleAddress) {
    struct Case {
        std::int32_t address, sizeBits, scaled;
    };
    for (const Case& c : {Case{102, 16, 51}, Case{100, 32, 25}, Case{13, 8, 13}, Case{13, 24, 13},
                          Case{-7, 16, -3}, Case{-7, 32, -1}}) {
        std::int32_t address = c.address;
        EXPECT_EQ(ScaleAddress(&address, c.sizeBits), 1);
        EXPECT_EQ(address, c.scaled) << c.address << " / " << c.sizeBits;
    }
    EXPECT_EQ(ScaleAddress(nullptr, 16), 1);
}

}  // namespace
}  // namespace plclink
