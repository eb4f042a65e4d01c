// What the Tag Format dialog composes is an address that command 3 accepts
// with the gate type of its kind.
// The dialog runs on the Linux control model here; on Windows the dialog
// operations are the real window calls.
#if !defined(_WIN32)
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog/tag_format_template.h"
#include "core/vpi_instance.h"
#include "fake_host.h"
#include "scripted_platform.h"
#include "plclink/vpi.h"
#include "scripted_dialog_face.h"

namespace plclink {
namespace {

using linux_dialog::DialogModel;
using testing::Host;

struct Composed {
    std::string gas;
    GateParseRecord parsed;
    int parseResult;
};

class TagFormatParse : public ::testing::Test {
protected:
    void SetUp() override {
        Host().reset();
        std::memset(&instance, 0, sizeof instance);
        std::strcpy(instance.VpiName, "VpiK701");
    }

    Composed composeAndParse(int area, int type, const char* address, int bitItem,
                             std::int32_t gateType) {
        face.users.push_back([=](DialogModel& d) {
            d.chooseItem(kMemoryAreaCombo, area);
            if (type >= 0) d.chooseItem(kDataTypeCombo, type);  // -1: as the area fixed it
            d.typeText(kAddressEdit, address);
            if (bitItem > 0) d.chooseItem(kBitNumberList, bitItem);
            d.pressButton(kOkButton);
        });
        char gas[16] = {};
        GateParseRecord record{};
        record.gas = gas;
        VpiCallBlock show{nullptr, VPI_TAG_FORMAT, 1, 0, &record};
        EXPECT_EQ(VpiMain(&show), 0);
        Composed out{gas, {}, 0};
        out.parsed.gas = gas;
        out.parsed.gateType = gateType;
        VpiCallBlock parse{&instance, VPI_SINGLE_PARSE, 1, 0, &out.parsed};
        out.parseResult = VpiMain(&parse);
        return out;
    }

    ScriptedPlatform os;
    testing::ScriptedDialogFace face;
    VpiInstance instance;
};

TEST_F(TagFormatParse, EveryByteBitIsADigitalTag) {
    const int areas[] = {0, 1, 2, 3};  // M, I, Q, V
    const char letters[] = {'M', 'I', 'Q', 'V'};
    for (int a = 0; a < 4; ++a) {
        for (int bit = 0; bit <= 7; ++bit) {
            const Composed c = composeAndParse(areas[a], 0, "37", bit + 1, 6);
            ASSERT_EQ(c.gas.size(), 9u) << c.gas;
            EXPECT_EQ(c.parseResult, 0) << c.gas;
            EXPECT_EQ(c.parsed.plcNumber, 1);
            EXPECT_EQ(c.parsed.memArea, letters[a]);
            EXPECT_EQ(c.parsed.elementIndex, 37);
            EXPECT_EQ(c.parsed.bitNumber, static_cast<std::uint32_t>(bit));
            EXPECT_EQ(c.parsed.sizeBits, 8);
        }
    }
}

TEST_F(TagFormatParse, AddressesWithoutABitAreAnalogTags) {
    struct Case {
        int area, type;
        const char* address;
        std::int32_t gateType, elementIndex, sizeBits;
    };
    const Case cases[] = {
        {0, 0, "12", 0, 12, 8},     // MB
        {1, 1, "14", 1, 7, 16},     // IW
        {2, 0, "9999", 2, 9999, 8}, // QB
        {3, 2, "100", 4, 25, 32},   // VD
        {3, 3, "100", 3, 25, 32},   // VF
        {0, 2, "9996", 5, 2499, 32},
    };
    for (const Case& k : cases) {
        const Composed c = composeAndParse(k.area, k.type, k.address, 0, k.gateType);
        EXPECT_EQ(c.gas.size(), 8u) << c.gas;
        EXPECT_EQ(c.parseResult, 0) << c.gas;
        EXPECT_EQ(c.parsed.elementIndex, k.elementIndex) << c.gas;
        EXPECT_EQ(c.parsed.sizeBits, k.sizeBits) << c.gas;
        EXPECT_EQ(c.parsed.bitNumber, VPI_NO_BIT);
    }
    EXPECT_TRUE(face.boxes.empty());
}

// Every area, every data type the area offers, every bit the data type
// offers, at the first, a middle and the last address the type may take.
// The analog areas fix the type at W without a bit.
TEST_F(TagFormatParse, EveryChoiceTheDialogOffersParses) {
    struct Type {
        int item;
        char letter;
        std::int32_t gateType, sizeBits, bitItems;
        const char* addresses[3];
    };
    const Type byte{0, 'B', 0, 8, 8, {"0", "37", "9999"}};
    const Type word{1, 'W', 1, 16, 16, {"0", "10", "9998"}};
    const Type dword{2, 'D', 4, 32, 0, {"0", "100", "9996"}};
    const Type real{3, 'F', 3, 32, 0, {"0", "100", "9996"}};
    const Type fixedWord{-1, 'W', 1, 16, 0, {"0", "10", "9998"}};
    const Type number{-1, 'W', 1, 16, 0, {"0", "37", "255"}};  // timers and counters
    struct Area {
        std::string name;
        unsigned memArea;
        std::vector<Type> types;
    };
    const Area areas[] = {{"M", 'M', {byte, word, dword, real}},
                          {"I", 'I', {byte, word}},
                          {"Q", 'Q', {byte, word}},
                          {"V", 'V', {byte, word, dword, real}},
                          {"S", VPI_AREA_S, {byte, word, dword, real}},
                          {"SM", VPI_AREA_SM, {byte, word, dword, real}},
                          {"AI", VPI_AREA_AI, {fixedWord}},
                          {"AQ", VPI_AREA_AQ, {fixedWord}},
                          {"T", VPI_AREA_T, {number}},
                          {"C", VPI_AREA_C, {number}}};
    int combinations = 0;
    for (int a = 0; a < 10; ++a) {
        const std::size_t plainLength = 7 + areas[a].name.size();
        for (const Type& type : areas[a].types) {
            for (const char* address : type.addresses) {
                const std::int32_t byteAddress = std::atoi(address);
                for (int bitItem = 0; bitItem <= type.bitItems; ++bitItem) {
                    const int bit = bitItem - 1;  // item 0 is "None"
                    const bool isBit = bitItem > 0;
                    const Composed c = composeAndParse(a, type.item, address, bitItem,
                                                       isBit ? 6 : type.gateType);
                    const std::string what = areas[a].name + type.letter +
                                             address + " bit item " + std::to_string(bitItem) +
                                             ": " + c.gas;
                    ++combinations;
                    ASSERT_EQ(c.parseResult, 0) << what;
                    EXPECT_EQ(c.parsed.plcNumber, 1) << what;
                    EXPECT_EQ(c.parsed.memArea, areas[a].memArea) << what;
                    if (!isBit) {
                        EXPECT_EQ(c.gas.size(), plainLength) << what;
                        EXPECT_EQ(c.parsed.bitNumber, VPI_NO_BIT) << what;
                        EXPECT_EQ(c.parsed.sizeBits, type.sizeBits) << what;
                        const bool numbered = areas[a].name == "T" || areas[a].name == "C";
                        EXPECT_EQ(c.parsed.elementIndex,
                                  numbered ? byteAddress : byteAddress / (type.sizeBits / 8))
                            << what;
                        continue;
                    }
                    // The same bit of controller memory: a word's low byte
                    // is the one at the higher address.
                    EXPECT_EQ(c.gas.size(), plainLength + 1) << what;
                    EXPECT_EQ(c.parsed.sizeBits, 8) << what;
                    const bool lowByteOfWord = type.letter == 'W' && bit < 8;
                    EXPECT_EQ(c.parsed.elementIndex, byteAddress + (lowByteOfWord ? 1 : 0))
                        << what;
                    EXPECT_EQ(c.parsed.bitNumber, static_cast<std::uint32_t>(bit % 8)) << what;
                }
            }
        }
    }
    EXPECT_EQ(combinations, 3 * (4 * 28 + 2 * 26 + 4 * 1));
    EXPECT_TRUE(face.boxes.empty());
    EXPECT_EQ(face.leftOpen, 0);
}

TEST_F(TagFormatParse, AWordBitIsTheSameBitOfItsByte) {
    const Composed c = composeAndParse(3, 1, "10", 13, 6);  // VW10, bit "12"
    EXPECT_EQ(c.gas, "01VB00104");
    EXPECT_EQ(c.parseResult, 0);
}

}  // namespace
}  // namespace plclink

#endif  // !defined(_WIN32)
