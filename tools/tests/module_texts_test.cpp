// Texts that come from the module or go to it: the banner, the
// initialization file, the memory image file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "cp437.h"
#include "init_file.h"
#include "memory_image.h"

using namespace plclink::host;

TEST(Banner, BoxCharactersBecomeUnicodeAndLinesAreTrimmed) {
    std::string banner = "\r\n\xDA\xC4\xBF   \r\n\xB3 x \xB3\r\n\xC0\xC4\xD9\r\n";
    std::string utf8 = Cp437ToUtf8(banner);
    EXPECT_EQ(utf8, "\n┌─┐   \n│ x │\n└─┘\n");
    std::vector<std::string> lines = BannerLines(utf8);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "┌─┐");
    EXPECT_EQ(lines[2], "└─┘");
    EXPECT_EQ(Cp437ToUtf8("\x81\xE1\xFF"), "üß\u00a0");
    EXPECT_EQ(Cp437ToUtf8("a\rb"), "a\rb");  // a lone CR stays
}

TEST(InitFile, NamedByTheLow16BitsOfTheVpiNumber) {
    EXPECT_EQ(InitFileName(1), "vpiK701.int");
    EXPECT_EQ(InitFileName(12), "vpiK712.int");
    EXPECT_EQ(InitFileName(123), "vpiK7123.int");
    EXPECT_EQ(InitFileName(65536 + 5), "vpiK705.int");
}

TEST(InitFile, ThreeDigitsGoesOnTheFirstLineAndKeepsTheRest) {
    std::string path = ::testing::TempDir() + "vpiK799.int";
    std::remove(path.c_str());
    EXPECT_FALSE(InitFileAsksThreeDigits(path));
    { std::ofstream(path) << "other\n3 DIGITS\n"; }
    EXPECT_FALSE(InitFileAsksThreeDigits(path));  // only the first line counts
    std::string why;
    ASSERT_TRUE(WriteThreeDigitInitFile(path, why)) << why;
    EXPECT_TRUE(InitFileAsksThreeDigits(path));
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), "3 DIGITS\nother\n3 DIGITS\n");
    { std::ofstream(path) << "use 3 digits please\n"; }
    EXPECT_TRUE(InitFileAsksThreeDigits(path));  // any case, anywhere in the line
    ASSERT_TRUE(WriteThreeDigitInitFile(path, why));
    std::ifstream again(path);
    std::string first;
    std::getline(again, first);
    EXPECT_EQ(first, "use 3 digits please");  // left alone
    std::remove(path.c_str());
}

TEST(MemoryImage, RoundTripsThroughItsText) {
    MemoryImage image{7, "M", 90, {}};
    for (int i = 0; i < 35; ++i) image.bytes.push_back(static_cast<std::uint8_t>(i * 7));
    std::string text = ImageText(image);
    EXPECT_NE(text.find("0090: 00 07 0E"), std::string::npos);
    EXPECT_NE(text.find("\n0122: "), std::string::npos);
    MemoryImage back;
    std::string why;
    ASSERT_TRUE(ParseImage(text, back, why)) << why;
    EXPECT_EQ(back.plc, 7);
    EXPECT_EQ(back.area, "M");
    EXPECT_EQ(back.start, 90);
    EXPECT_EQ(back.bytes, image.bytes);
}

TEST(MemoryImage, DamagedFilesAreRefusedWithTheReason) {
    const std::string head = "area V\nstart 10\n";
    struct Case { std::string text; const char* says; };
    for (const Case& c : {
             Case{head + "length 3\n0010: 01 02\n", "holds 2 bytes"},
             Case{head + "length 2\n0011: 01 02\n", "does not follow on"},
             Case{head + "length 2\n0010: 01 2\n", "bad byte"},
             Case{head + "length 2\n0010: 01 GG\n", "bad byte"},
             Case{"area X\nstart 0\nlength 1\n0000: 00\n", "area must be"},
             Case{"area V\nstart 9999\nlength 2\n9999: 00 01\n", "length must be"},
             Case{"0000: 00\n", "line 1: bytes before the area, start and length lines"},
             Case{"hello world\n", "cannot read"},
             Case{"", "not a memory image"},
         }) {
        MemoryImage image;
        std::string why;
        EXPECT_FALSE(ParseImage(c.text, image, why)) << c.text;
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
    }
    EXPECT_EQ(CheckRange("V", 9990, 10), "");
    EXPECT_NE(CheckRange("V", 9990, 11), "");
    EXPECT_NE(CheckRange("V", 0, 0), "");
    EXPECT_NE(CheckRange("V", -1, 5), "");
}

TEST(MemoryImage, HeaderLinesComeFirstAndEachOnce) {
    const std::string head = "# plclink memory image\nplc 2\narea V\nstart 10\nlength 2\n";
    struct Case { std::string text; const char* says; };
    for (const Case& c : {
             // A later start would have moved the bytes already read.
             Case{head + "0010: 01 02\nstart 20\n", "line 7: 'start' line after the byte lines"},
             Case{head + "0010: 01\nplc 3\n0011: 02\n", "line 7: 'plc' line after the byte lines"},
             Case{"area V\nstart 10\nstart 10\nlength 2\n0010: 01 02\n",
                  "line 3: a second 'start' line (the first is line 2)"},
             Case{"plc 2\nplc 3\narea V\nstart 0\nlength 1\n0000: 01\n", "line 2: a second 'plc'"},
             Case{head + "0010: 01 02\n# done\nchecksum 12\n", "line 8: cannot read 'checksum 12'"},
             Case{"area V\nstart 10 20\nlength 1\n", "line 2: cannot read 'start 10 20'"},
             Case{"plc 1000\n", "line 1: plc must be 0..999"},
             Case{head + "0010: 01 02 03\n", "line 6: more bytes than the length line says (2)"},
         }) {
        MemoryImage image;
        std::string why;
        EXPECT_FALSE(ParseImage(c.text, image, why)) << c.text;
        EXPECT_EQ(why.rfind(c.says, 0), 0u) << why;
    }
    // Comments and blank lines may stand anywhere, the header in any order.
    MemoryImage image;
    std::string why;
    ASSERT_TRUE(ParseImage("length 2\n\n# note\nstart 10\narea m\n0010: 01\n\n# more\n0011: 02\n", image, why))
        << why;
    EXPECT_EQ(image.area, "M");
    EXPECT_EQ(image.bytes, (std::vector<std::uint8_t>{1, 2}));
}
