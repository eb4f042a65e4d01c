// Values typed by the user and values shown to the user.
#include <gtest/gtest.h>

#include <bit>

#include "value_format.h"
#include "value_parse.h"

using namespace plclink::host;

namespace {

std::uint32_t Accepted(ElementType type, const char* text) {
    ParsedValue v = ParseValue(type, text);
    EXPECT_TRUE(v.ok) << text << ": " << v.why;
    return v.raw;
}

void Refused(ElementType type, const char* text) {
    ParsedValue v = ParseValue(type, text);
    EXPECT_FALSE(v.ok) << text << " gave " << v.raw;
    EXPECT_FALSE(v.why.empty());
}

}  // namespace

TEST(ValueParse, IntegersFillTheirSizeInDecimalHexAndTwosComplement) {
    EXPECT_EQ(Accepted(ElementType::Byte, "255"), 255u);
    EXPECT_EQ(Accepted(ElementType::Byte, "-128"), 0x80u);
    EXPECT_EQ(Accepted(ElementType::Byte, "-1"), 0xFFu);
    EXPECT_EQ(Accepted(ElementType::Byte, "0xff"), 0xFFu);
    EXPECT_EQ(Accepted(ElementType::Word, "+65535"), 0xFFFFu);
    EXPECT_EQ(Accepted(ElementType::Word, "-32768"), 0x8000u);
    EXPECT_EQ(Accepted(ElementType::Word, "0X1234"), 0x1234u);
    EXPECT_EQ(Accepted(ElementType::DWord, "4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(Accepted(ElementType::DWord, "-2147483648"), 0x80000000u);
    EXPECT_EQ(Accepted(ElementType::DWord, "0xDEADBEEF"), 0xDEADBEEFu);
}

TEST(ValueParse, OutOfRangeAndMalformedIntegersAreRefused) {
    Refused(ElementType::Byte, "256");
    Refused(ElementType::Byte, "-129");
    Refused(ElementType::Byte, "0x100");
    Refused(ElementType::Word, "65536");
    Refused(ElementType::Word, "-32769");
    Refused(ElementType::DWord, "4294967296");
    Refused(ElementType::DWord, "-2147483649");
    Refused(ElementType::DWord, "0x1FFFFFFFF");
    Refused(ElementType::DWord, "99999999999999999999999");
    for (const char* bad : {"", "+", "-", "0x", "12a", "1.5", " 1", "1 ", "++1", "--1", "0x-1", "-0x10"}) {
        Refused(ElementType::Word, bad);
    }
}

TEST(ValueParse, FloatsAreSinglesAndMustBeFinite) {
    EXPECT_EQ(Accepted(ElementType::Float, "1.5"), std::bit_cast<std::uint32_t>(1.5f));
    EXPECT_EQ(Accepted(ElementType::Float, "-2.5e3"), std::bit_cast<std::uint32_t>(-2500.0f));
    EXPECT_EQ(Accepted(ElementType::Float, "+7"), std::bit_cast<std::uint32_t>(7.0f));
    EXPECT_EQ(Accepted(ElementType::Float, "0"), 0u);
    EXPECT_EQ(Accepted(ElementType::Float, "0x40490FDB"), 0x40490FDBu);  // raw bits
    for (const char* bad : {"1e39", "-1e39", "1e-60", "nan", "inf", "-inf", "1.5x", "", "0x123456789"}) {
        Refused(ElementType::Float, bad);
    }
}

TEST(ValueParse, BitsAreZeroOrOne) {
    EXPECT_EQ(Accepted(ElementType::Bit, "0"), 0u);
    EXPECT_EQ(Accepted(ElementType::Bit, "1"), 1u);
    for (const char* bad : {"2", "-1", "0x1", "true", "01", ""}) Refused(ElementType::Bit, bad);
}

TEST(ValueFormat, IntegersShowUnsignedSignedAndHexOfTheirSize) {
    EXPECT_EQ(UnsignedText(ElementType::Byte, 0xFF), "255");
    EXPECT_EQ(SignedText(ElementType::Byte, 0xFF), "-1");
    EXPECT_EQ(HexText(ElementType::Byte, 0xFF), "0xFF");
    // Bits above the element's size are not part of the value.
    EXPECT_EQ(UnsignedText(ElementType::Byte, 0x1234), "52");
    EXPECT_EQ(UnsignedText(ElementType::Word, 0x12348000), "32768");
    EXPECT_EQ(SignedText(ElementType::Word, 0x8000), "-32768");
    EXPECT_EQ(HexText(ElementType::Word, 0x00AB), "0x00AB");
    EXPECT_EQ(UnsignedText(ElementType::DWord, 0xFFFFFFFF), "4294967295");
    EXPECT_EQ(SignedText(ElementType::DWord, 0xFFFFFFFF), "-1");
    EXPECT_EQ(HexText(ElementType::DWord, 0x1), "0x00000001");
    EXPECT_EQ(ValueText(ElementType::Bit, 1), "1");
    EXPECT_EQ(ValueText(ElementType::Bit, 0), "0");
}

TEST(ValueFormat, FloatsReadBackExactly) {
    for (float f : {1.5f, -0.1f, 3.14159274f, 1e-30f, 3.4028235e38f, 0.0f}) {
        std::uint32_t raw = std::bit_cast<std::uint32_t>(f);
        std::string text = ValueText(ElementType::Float, raw);
        ParsedValue back = ParseValue(ElementType::Float, text);
        ASSERT_TRUE(back.ok) << text;
        EXPECT_EQ(back.raw, raw) << text;
    }
    EXPECT_EQ(FloatText(0x7FC00000), "nan");
    EXPECT_EQ(FloatText(0x7F800000), "inf");
    EXPECT_EQ(FloatText(0xFF800000), "-inf");
    EXPECT_EQ(FloatText(std::bit_cast<std::uint32_t>(0.1f)), "0.1");
}
