// What the Tag Format dialog composes is an address that command 3 accepts
// with the gate type of its kind.
// The dialog runs on the Linux control model here; on Windows the dialog
// operations are the real window calls.
#if !defined(_WIN32)
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "dialog/tag_format_template.h"
#include "entry/vpi_instance.h"
#include "fake_host.h"
#include "platform/scripted_platform.h"
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
            d.chooseItem(kDataTypeCombo, type);
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

}  // namespace
}  // namespace plclink

#endif  // !defined(_WIN32)
