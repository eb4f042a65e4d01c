// The field rules of the Tag Format dialog, run on an open control model.
// The dialog runs on the Linux control model here; on Windows the dialog
// operations are the real window calls.
#if !defined(_WIN32)
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog/tag_format_dialog.h"
#include "dialog/tag_format_rules.h"
#include "dialog/tag_format_template.h"
#include "dialog/tag_format_values.h"
#include "scripted_dialog_face.h"

namespace plclink {
namespace {

using linux_dialog::Control;
using linux_dialog::DialogModel;
using testing::ScriptedDialogFace;

class TagFormatRules : public ::testing::Test {
protected:
    TagFormatRules() : dialog(kTagFormatTemplate, nullptr, TagFormatDlgProc, 0) {
        dialog.initialize();
    }

    Control& control(int id) { return *dialog.item(id); }
    WindowHandle handle() { return dialog.handle(); }
    std::vector<std::string> bits() { return control(kBitNumberList).items; }

    ScriptedDialogFace face;
    DialogModel dialog;
};

const std::vector<std::string> kAllBits = {"None", "00", "01", "02", "03", "04", "05", "06", "07",
                                           "08",   "09", "10", "11", "12", "13", "14", "15"};
const std::vector<std::string> kByteBits(kAllBits.begin(), kAllBits.begin() + 9);

TEST_F(TagFormatRules, MemoryAreaDecidesTheDataTypesOffered) {
    for (const char* area : {"V", "M"}) {
        FillDataTypeCombo(handle(), area);
        EXPECT_EQ(control(kDataTypeCombo).items,
                  (std::vector<std::string>{"B (Byte)", "W (Word)", "D (Dword)", "F (Float)"}));
        EXPECT_TRUE(control(kDataTypeCombo).enabled);
        EXPECT_EQ(control(kDataTypeCombo).choice, -1);
    }
    control(kDataTypeCombo).choice = 2;
    for (const char* area : {"I", "Q"}) {
        FillDataTypeCombo(handle(), area);
        EXPECT_EQ(control(kDataTypeCombo).items,
                  (std::vector<std::string>{"B (Byte)", "W (Word)"}));
        EXPECT_EQ(control(kDataTypeCombo).choice, -1) << "a refill clears the choice";
    }
}

TEST_F(TagFormatRules, DataTypeDecidesTheBitNumbersOffered) {
    FillBitNumberList(handle(), "B");
    EXPECT_EQ(bits(), kByteBits);
    EXPECT_TRUE(control(kBitNumberList).enabled);

    dialog.chooseItem(kBitNumberList, 5);
    FillBitNumberList(handle(), "W");
    EXPECT_EQ(bits(), kAllBits);
    EXPECT_TRUE(control(kBitNumberList).enabled);
    EXPECT_EQ(control(kBitNumberList).topIndex, 0) << "every refill rests on None";

    for (const char* type : {"D", "F"}) {
        FillBitNumberList(handle(), type);
        EXPECT_EQ(bits(), kAllBits);
        EXPECT_FALSE(control(kBitNumberList).enabled);
        EXPECT_FALSE(dialog.stepChoice(kBitNumberList, 1)) << "a disabled list does not scroll";
        EXPECT_EQ(control(kBitNumberList).topIndex, 0);
    }
}

TEST_F(TagFormatRules, AddressIsPaddedToFourDigits) {
    const std::pair<const char*, const char*> cases[] = {
        {"7", "0007"}, {"42", "0042"}, {"123", "0123"}, {"1000", "1000"}, {"9999", "9999"},
        {"", "0000"},  {"12a", "0012"}, {"-5", "0000"}, {"x", "0000"},     {"0", "0000"}};
    for (const auto& [in, out] : cases) {
        char text[5];
        std::strcpy(text, in);
        PadAddressDigits(text);
        EXPECT_STREQ(text, out) << in;
    }
}

TEST_F(TagFormatRules, AlignmentFollowsTheDataType) {
    struct Case {
        std::int32_t address;
        const char* type;
        const char* message;  // nullptr: holds
    };
    const Case cases[] = {
        {0, "W", nullptr},  {1, "W", kWordAlignmentMessage},   {4, "F", nullptr},
        {6, "F", kFloatAlignmentMessage}, {8, "D", nullptr},   {10, "D", kDoubleAlignmentMessage},
        {7, "B", nullptr},  {7, "", nullptr}, {3, "w", nullptr}};
    for (const Case& c : cases) {
        face.boxes.clear();
        EXPECT_EQ(CheckAddressAlignment(handle(), c.address, c.type), c.message ? 0 : 1)
            << c.address << c.type;
        if (c.message == nullptr) {
            EXPECT_TRUE(face.boxes.empty());
        } else {
            ASSERT_EQ(face.boxes.size(), 1u);
            EXPECT_EQ(face.boxes[0].text, c.message);
            EXPECT_EQ(face.boxes[0].caption, "Error");
            EXPECT_EQ(face.boxes[0].type, 0u);
            EXPECT_EQ(face.boxes[0].owner, handle());
        }
    }
}

TEST_F(TagFormatRules, IoAreasTakeOnlyBytesAndWords) {
    EXPECT_EQ(CheckIoDataType(handle(), "I", "W"), 1);
    EXPECT_EQ(CheckIoDataType(handle(), "Q", "B"), 1);
    EXPECT_EQ(CheckIoDataType(handle(), "M", ""), 1);
    EXPECT_EQ(CheckIoDataType(handle(), "", "D"), 1);
    EXPECT_EQ(CheckIoDataType(handle(), "V", "F"), 1);
    EXPECT_TRUE(face.boxes.empty());
    EXPECT_EQ(CheckIoDataType(handle(), "I", ""), 0);
    EXPECT_EQ(CheckIoDataType(handle(), "Q", "D"), 0);
    EXPECT_EQ(CheckIoDataType(handle(), "I", "F"), 0);
    EXPECT_EQ(face.boxTexts(), std::vector<std::string>(3, kIoDataTypeMessage));
    EXPECT_EQ(std::string(kIoDataTypeMessage),
              "On  I or Q memory types only B-Byte or W- Word are aloud");
}

TEST_F(TagFormatRules, BitNumbersFitTheirDataType) {
    EXPECT_EQ(CheckByteBitNumber(handle(), "None", "B"), 1);
    EXPECT_EQ(CheckByteBitNumber(handle(), "07", "B"), 1);
    EXPECT_EQ(CheckByteBitNumber(handle(), "15", "W"), 1);
    EXPECT_EQ(CheckBitAllowed(handle(), "D", "None"), 1);
    EXPECT_EQ(CheckBitAllowed(handle(), "W", "15"), 1);
    EXPECT_TRUE(face.boxes.empty());

    EXPECT_EQ(CheckByteBitNumber(handle(), "08", "B"), 0);
    EXPECT_EQ(CheckBitAllowed(handle(), "D", "05"), 0);
    EXPECT_EQ(CheckBitAllowed(handle(), "F", "00"), 0);
    EXPECT_EQ(face.boxTexts(),
              (std::vector<std::string>{
                  "On B- Byte Type the Digital bit num should be between 00-07 ",
                  "Digital address is only valid when using types B-byte or W- word  ",
                  "Digital address is only valid when using types B-byte or W- word  "}));
}

TEST_F(TagFormatRules, PlcNumberIsTwoDecimalDigits) {
    for (const char* good : {"00", "99", "01", "32"}) {
        std::strcpy(tagFormatValues.plcText, good);
        EXPECT_EQ(CheckPlcNumber(handle()), 1) << good;
    }
    EXPECT_TRUE(face.boxes.empty());
    for (const char* bad : {"7", "", "1A", "A1", "\xB9\xB2", " 1"}) {
        std::strcpy(tagFormatValues.plcText, bad);
        EXPECT_EQ(CheckPlcNumber(handle()), 0) << bad;
    }
    EXPECT_EQ(face.boxTexts(),
              std::vector<std::string>(6, "Wrong PLC number! (2 decimal digits)"));
}

TEST_F(TagFormatRules, OneOrTwoDigitsAndThePlcNumberText) {
    EXPECT_EQ(IsOneOrTwoDigits("5"), 1);
    EXPECT_EQ(IsOneOrTwoDigits("12"), 1);
    for (const char* no : {"", "123", "1A", "A", "\xB5", "-1"}) EXPECT_EQ(IsOneOrTwoDigits(no), 0) << no;
    EXPECT_TRUE(face.boxes.empty());

    SetPlcNumberText(handle(), 7);
    EXPECT_EQ(control(kPlcNumberEdit).text, "07");
    SetPlcNumberText(handle(), 32);
    EXPECT_EQ(control(kPlcNumberEdit).text, "32");
}

TEST_F(TagFormatRules, OpeningShowsTheDefaults) {
    EXPECT_EQ(control(kPlcNumberEdit).text, "01");
    EXPECT_EQ(control(kAddressEdit).text, "0000");
    EXPECT_EQ(control(kAddressEdit).textLimit, 4u);
    EXPECT_EQ(control(kMemoryAreaCombo).items.size(), 10u);  // M I Q V, then S SM AI AQ T C
    EXPECT_EQ(control(kMemoryAreaCombo).choice, -1);
    EXPECT_EQ(control(kDataTypeCombo).items.size(), 4u);
    EXPECT_FALSE(control(kDataTypeCombo).enabled);
    EXPECT_EQ(bits(), kAllBits);
    EXPECT_FALSE(control(kBitNumberList).enabled);
    EXPECT_EQ(dialog.focused(), &control(kPlcNumberEdit));
}

}  // namespace
}  // namespace plclink

#endif  // !defined(_WIN32)
