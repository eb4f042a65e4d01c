// Command 16: the Tag Format dialog driven through the control model by a
// scripted user, with the fake host answering the version query.
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
#include "fake_host.h"
#include "scripted_platform.h"
#include "plclink/vpi.h"
#include "scripted_dialog_face.h"

namespace plclink {
namespace {

using linux_dialog::DialogModel;
using testing::Host;
using testing::ScriptedDialogFace;

constexpr int M = 0, I = 1, Q = 2, V = 3, T = 8;    // area items
constexpr int B = 0, W = 1, D = 2, F = 3;           // type items (I and Q: B, W only)

struct Outcome {
    int result;
    std::string gas;
};

class TagFormatDialog : public ::testing::Test {
protected:
    void SetUp() override { Host().reset(); }

    Outcome run(void* owner = reinterpret_cast<void*>(0x1234)) {
        char gas[32];
        std::strcpy(gas, "(unchanged)");
        GateParseRecord record{};
        record.gas = gas;
        record.ownerWindow = owner;
        record.gateType = 77;
        VpiCallBlock call{nullptr, VPI_TAG_FORMAT, 1, 0, &record};
        const int result = VpiMain(&call);
        EXPECT_EQ(record.gateType, 77);
        EXPECT_EQ(record.plcNumber, 0);
        return {result, gas};
    }

    // One user who fills in the form and presses OK.
    void fillIn(int area, int type, const char* address, int bitItem = 0, const char* plc = nullptr) {
        face.users.push_back([=](DialogModel& d) {
            if (plc != nullptr) d.typeText(kPlcNumberEdit, plc);
            d.chooseItem(kMemoryAreaCombo, area);
            d.chooseItem(kDataTypeCombo, type);
            d.typeText(kAddressEdit, address);
            if (bitItem > 0) d.chooseItem(kBitNumberList, bitItem);
            d.pressButton(kOkButton);
        });
    }

    ScriptedPlatform os;
    ScriptedDialogFace face;
};

TEST_F(TagFormatDialog, ComposesTheAddressFromTheChoices) {
    struct Case {
        int area, type;
        const char* address;
        int bitItem;
        const char* plc;
        const char* gas;
    };
    const Case cases[] = {
        {M, W, "10", 0, nullptr, "01MW0010"},
        {V, D, "100", 0, "05", "05VD0100"},
        {V, F, "9996", 0, "99", "99VF9996"},
        {I, B, "3", 8, nullptr, "01IB00037"},        // bit "07": one digit
        {M, B, "1", 6, nullptr, "01MB00015"},
        {Q, B, "0", 1, "00", "00QB00000"},            // bit "00"
        {Q, W, "12", 0, "12", "12QW0012"},
        {M, W, "4", 16, nullptr, "01MB00047"},        // word bit 15: bit 7 of its first byte
        {M, W, "9998", 10, nullptr, "01MB99981"},     // word bit 9: bit 1 of its first byte
        {V, W, "10", 13, nullptr, "01VB00104"},       // word bit 12
        {I, W, "2", 1, nullptr, "01IB00030"},         // word bit 0: bit 0 of its second byte
        {Q, W, "9998", 8, nullptr, "01QB99997"},      // word bit 7: bit 7 of its second byte
    };
    for (const Case& c : cases) {
        fillIn(c.area, c.type, c.address, c.bitItem, c.plc);
        const Outcome out = run();
        EXPECT_EQ(out.result, 0) << c.gas;
        EXPECT_EQ(out.gas, c.gas);
    }
    EXPECT_TRUE(face.boxes.empty());
    EXPECT_EQ(face.leftOpen, 0);
}

TEST_F(TagFormatDialog, NeverWritesMoreThanElevenBytes) {
    fillIn(M, W, "9998", 16);
    char gas[24];
    std::memset(gas, 0x5A, sizeof gas);
    GateParseRecord record{};
    record.gas = gas;
    VpiCallBlock call{nullptr, VPI_TAG_FORMAT, 1, 0, &record};
    ASSERT_EQ(VpiMain(&call), 0);
    EXPECT_STREQ(gas, "01MB99987");
    for (std::size_t i = 10; i < sizeof gas; ++i) EXPECT_EQ(gas[i], 0x5A) << i;
}

TEST_F(TagFormatDialog, CancelAndEscapeWriteNothing) {
    face.users.push_back([](DialogModel& d) {
        d.chooseItem(kMemoryAreaCombo, M);
        d.chooseItem(kDataTypeCombo, B);
        d.pressButton(kCancelButton);
    });
    face.users.push_back([](DialogModel& d) { d.pressEscape(); });
    EXPECT_EQ(run().gas, "(unchanged)");
    const Outcome out = run();
    EXPECT_EQ(out.result, 53);
    EXPECT_EQ(out.gas, "(unchanged)");
    EXPECT_EQ(face.leftOpen, 0);
}

TEST_F(TagFormatDialog, EnterPressesTheFocusedButtonElseOk) {
    face.users.push_back([](DialogModel& d) {
        d.chooseItem(kMemoryAreaCombo, V);
        d.chooseItem(kDataTypeCombo, B);
        d.setFocus(kAddressEdit);
        d.pressEnter();
    });
    EXPECT_EQ(run().gas, "01VB0000");
    face.users.push_back([](DialogModel& d) {
        d.chooseItem(kMemoryAreaCombo, V);
        d.chooseItem(kDataTypeCombo, B);
        d.setFocus(kCancelButton);
        d.pressEnter();
    });
    EXPECT_EQ(run().result, 53);
}

// One OK shows at most one rule message, then "missing value!" or the PLC
// number message, and the dialog stays open.
TEST_F(TagFormatDialog, OkShowsAtMostOneRuleMessageThenTheLastCheck) {
    struct Case {
        const char* what;
        std::function<void(DialogModel&)> user;
        std::vector<std::string> boxes;
    };
    const std::string missing = kMissingValueMessage, plc = kPlcNumberMessage;
    const Case cases[] = {
        {"nothing chosen", [](DialogModel&) {}, {missing}},
        {"area I, no type",
         [](DialogModel& d) { d.chooseItem(kMemoryAreaCombo, I); },
         {kIoDataTypeMessage, missing}},
        {"misaligned word, PLC number missing",
         [](DialogModel& d) {
             d.chooseItem(kMemoryAreaCombo, M);
             d.chooseItem(kDataTypeCombo, W);
             d.typeText(kAddressEdit, "11");
             d.typeText(kPlcNumberEdit, "");
         },
         {kWordAlignmentMessage, missing}},
        {"misaligned float and bad PLC number",
         [](DialogModel& d) {
             d.typeText(kPlcNumberEdit, "1");
             d.chooseItem(kMemoryAreaCombo, V);
             d.chooseItem(kDataTypeCombo, F);
             d.typeText(kAddressEdit, "6");
         },
         {kFloatAlignmentMessage, plc}},
        {"misaligned double",
         [](DialogModel& d) {
             d.chooseItem(kMemoryAreaCombo, M);
             d.chooseItem(kDataTypeCombo, D);
             d.typeText(kAddressEdit, "10");
         },
         {kDoubleAlignmentMessage}},
        {"PLC number of one digit only",
         [](DialogModel& d) {
             d.typeText(kPlcNumberEdit, "1");
             d.chooseItem(kMemoryAreaCombo, M);
             d.chooseItem(kDataTypeCombo, B);
         },
         {plc}},
        {"PLC number with a letter",
         [](DialogModel& d) {
             d.typeText(kPlcNumberEdit, "4x");
             d.chooseItem(kMemoryAreaCombo, M);
             d.chooseItem(kDataTypeCombo, B);
         },
         {plc}},
        {"empty address",
         [](DialogModel& d) {
             d.chooseItem(kMemoryAreaCombo, M);
             d.chooseItem(kDataTypeCombo, B);
             d.typeText(kAddressEdit, "");
         },
         {missing}},
        // A timer's number is aligned to nothing, but stops at 255.
        {"timer above 255",
         [](DialogModel& d) {
             d.chooseItem(kMemoryAreaCombo, T);
             d.typeText(kAddressEdit, "257");
         },
         {kElementNumberMessage}},
    };
    for (const Case& c : cases) {
        face.boxes.clear();
        face.users.push_back([&](DialogModel& d) {
            c.user(d);
            d.pressButton(kOkButton);
            EXPECT_FALSE(d.ended()) << c.what;
        });
        const Outcome out = run();
        EXPECT_EQ(out.result, 53) << c.what;
        EXPECT_EQ(out.gas, "(unchanged)");
        EXPECT_EQ(face.boxTexts(), c.boxes) << c.what;
        for (const auto& box : face.boxes) EXPECT_EQ(box.caption, "Error");
    }
}

TEST_F(TagFormatDialog, UserCorrectsTheEntryAndPressesOkAgain) {
    face.users.push_back([](DialogModel& d) {
        d.chooseItem(kMemoryAreaCombo, M);
        d.chooseItem(kDataTypeCombo, W);
        d.typeText(kAddressEdit, "11");
        d.pressButton(kOkButton);
        ASSERT_FALSE(d.ended());
        EXPECT_EQ(d.item(kAddressEdit)->text, "11") << "the edit keeps what was typed";
        d.typeText(kAddressEdit, "12");
        d.pressButton(kOkButton);
    });
    EXPECT_EQ(run().gas, "01MW0012");
    EXPECT_EQ(face.boxTexts(), std::vector<std::string>{kWordAlignmentMessage});
}

TEST_F(TagFormatDialog, TypedPlcNumberIsReadAsItsFirstTwoCharacters) {
    fillIn(M, B, "5", 0, "123");
    EXPECT_EQ(run().gas, "12MB0005");
    // The edit takes no third character, so it shows the number OK uses.
    face.users.push_back([](DialogModel& d) {
        EXPECT_FALSE(d.typeText(kPlcNumberEdit, "1234"));
        EXPECT_EQ(d.item(kPlcNumberEdit)->text, "12");
        d.pressEscape();
    });
    run();
}

TEST_F(TagFormatDialog, BitListFollowsTheDataTypeAndAreaRefillsTheTypes) {
    face.users.push_back([](DialogModel& d) {
        auto& type = *d.item(kDataTypeCombo);
        auto& bit = *d.item(kBitNumberList);
        d.chooseItem(kMemoryAreaCombo, V);
        EXPECT_TRUE(type.enabled);
        EXPECT_EQ(type.items.size(), 4u);
        d.chooseItem(kDataTypeCombo, W);
        EXPECT_TRUE(bit.enabled);
        EXPECT_EQ(bit.items.size(), 17u);
        d.chooseItem(kBitNumberList, 12);
        d.chooseItem(kDataTypeCombo, D);
        EXPECT_FALSE(bit.enabled);
        EXPECT_EQ(bit.topIndex, 0);

        // A new area empties the type choice; the bit list stays as it was.
        d.chooseItem(kDataTypeCombo, B);
        d.chooseItem(kBitNumberList, 3);
        d.chooseItem(kMemoryAreaCombo, Q);
        EXPECT_EQ(type.choice, -1);
        EXPECT_EQ(type.items, (std::vector<std::string>{"B (Byte)", "W (Word)"}));
        EXPECT_EQ(bit.items.size(), 9u);
        EXPECT_EQ(bit.topIndex, 3);

        // Any notification of the area combo, such as the focus, does the same.
        d.chooseItem(kDataTypeCombo, W);
        d.setFocus(kMemoryAreaCombo);
        EXPECT_EQ(type.choice, -1);
        ASSERT_EQ(d.focused(), d.item(kMemoryAreaCombo));
        type.choice = W;
        d.setFocus(kAddressEdit);  // leaving the area combo notifies too
        EXPECT_EQ(type.choice, -1);
        d.pressButton(kCancelButton);
    });
    run();
    EXPECT_EQ(face.leftOpen, 0);
}

TEST_F(TagFormatDialog, PlcNumberSpinStepsWithinOneToThirtyTwo) {
    face.users.push_back([](DialogModel& d) {
        auto plc = [&] { return d.item(kPlcNumberEdit)->text; };
        d.pressSpin(kPlcNumberSpin, false);
        EXPECT_EQ(plc(), "01");
        d.pressSpin(kPlcNumberSpin, true);
        EXPECT_EQ(plc(), "02");
        d.typeText(kPlcNumberEdit, "32");
        d.pressSpin(kPlcNumberSpin, true);
        EXPECT_EQ(plc(), "32");
        d.typeText(kPlcNumberEdit, "50");
        d.pressSpin(kPlcNumberSpin, false);
        EXPECT_EQ(plc(), "49");
        d.pressSpin(kPlcNumberSpin, true);
        EXPECT_EQ(plc(), "32");
        d.typeText(kPlcNumberEdit, "AB");
        d.pressSpin(kPlcNumberSpin, true);
        EXPECT_EQ(plc(), "02");
        d.typeText(kPlcNumberEdit, "ab");
        EXPECT_EQ(plc(), "AB") << "the PLC number edit is upper case";
        d.pressSpin(kPlcNumberSpin, false);
        EXPECT_EQ(plc(), "01");
        d.typeText(kPlcNumberEdit, "7");
        d.pressSpin(kPlcNumberSpin, true);
        EXPECT_EQ(plc(), "08");
        d.typeText(kPlcNumberEdit, "00");
        d.pressSpin(kPlcNumberSpin, false);
        EXPECT_EQ(plc(), "01");
        d.pressButton(kCancelButton);
    });
    run();
    EXPECT_TRUE(face.boxes.empty());
}

TEST_F(TagFormatDialog, AddressSpinStepsWithinFourDigits) {
    face.users.push_back([](DialogModel& d) {
        auto address = [&] { return d.item(kAddressEdit)->text; };
        d.pressSpin(kAddressSpin, false);
        EXPECT_EQ(address(), "0000");
        d.pressSpin(kAddressSpin, true);
        EXPECT_EQ(address(), "0001");
        d.typeText(kAddressEdit, "9");
        d.pressSpin(kAddressSpin, true);
        EXPECT_EQ(address(), "0010");
        d.typeText(kAddressEdit, "9999");
        d.pressSpin(kAddressSpin, true);
        EXPECT_EQ(address(), "9999");
        d.pressSpin(kAddressSpin, false);
        EXPECT_EQ(address(), "9998");
        d.typeText(kAddressEdit, "12345");
        EXPECT_EQ(address(), "1234") << "four characters at most";
        d.typeText(kAddressEdit, "1a2");
        EXPECT_EQ(address(), "12") << "digits only";
        d.chooseItem(kMemoryAreaCombo, M);
        d.chooseItem(kDataTypeCombo, D);  // the step stays 1 whatever the type
        d.pressSpin(kAddressSpin, true);
        EXPECT_EQ(address(), "0013");
        d.pressButton(kCancelButton);
    });
    run();
}

TEST_F(TagFormatDialog, ScrollCodesOtherThanLineStepsAreIgnored) {
    face.users.push_back([](DialogModel& d) {
        const auto bar = reinterpret_cast<MessageLParam>(d.item(kPlcNumberSpin));
        for (MessageWParam code : {2u, 3u, 4u, 5u, 8u})
            EXPECT_EQ(TagFormatDlgProc(d.handle(), 0x0115, code, bar), 0);
        EXPECT_EQ(TagFormatDlgProc(d.handle(), 0x0115, 0, 0), 0) << "no scroll bar";
        EXPECT_EQ(TagFormatDlgProc(d.handle(), 0x0200, 0, 0), 0) << "other messages";
        EXPECT_EQ(d.item(kPlcNumberEdit)->text, "01");
        d.pressButton(kCancelButton);
    });
    run();
}

TEST_F(TagFormatDialog, AsksTheHostVersionThroughAShortLivedClient) {
    os.threadId = 7;
    Host().nextClientId = 42;
    face.users.push_back([](DialogModel& d) {
        EXPECT_EQ(Host().removedClients, std::vector<unsigned char>{42})
            << "the client is gone before the dialog shows";
        d.pressEscape();
    });
    run();
    EXPECT_EQ(Host().registeredNames, std::vector<std::string>{"VpiK7Br07"});
    EXPECT_EQ(Host().versionQueries, std::vector<unsigned char>{42});

    os.threadId = 123456;
    run();
    EXPECT_EQ(Host().registeredNames.back(), "VpiK7Br123456");
    EXPECT_TRUE(Host().log.empty());
}

TEST_F(TagFormatDialog, OwnerWindowOnlyFromHostVersion820) {
    void* window = reinterpret_cast<void*>(0xBEEF);
    Host().version = 820;
    run(window);
    Host().version = 819;
    run(window);
    Host().version = 0xFFFF;  // unsigned: 65535 is a new host
    run(window);
    Host().version = 900;
    Host().registrationStatus = 3;  // refused: version stays 0
    const Outcome refused = run(window);
    EXPECT_EQ(face.owners, (std::vector<WindowHandle>{window, nullptr, window, nullptr}));
    EXPECT_EQ(refused.result, 53);
    EXPECT_TRUE(Host().removedClients.size() == 3u);
    EXPECT_TRUE(Host().log.empty());
}

TEST_F(TagFormatDialog, SecondDialogWhileOneIsOpenGetsNothing) {
    face.users.push_back([&](DialogModel& d) {
        const std::size_t registrations = Host().registeredNames.size();
        const Outcome nested = run();
        EXPECT_EQ(nested.result, 53);
        EXPECT_EQ(nested.gas, "(unchanged)");
        EXPECT_EQ(face.opened, 1);
        EXPECT_EQ(Host().registeredNames.size(), registrations) << "no host call";
        d.chooseItem(kMemoryAreaCombo, M);
        d.chooseItem(kDataTypeCombo, B);
        d.pressButton(kOkButton);
    });
    EXPECT_EQ(run().gas, "01MB0000");
    // The dialog has ended, so the next command shows it again.
    fillIn(V, W, "2");
    EXPECT_EQ(run().gas, "01VW0002");
    EXPECT_EQ(face.opened, 2);
}

TEST_F(TagFormatDialog, DialogThatCannotBeShownGetsNothingAndLaterOnesShow) {
    face.canOpen = false;
    EXPECT_EQ(run().result, 53);
    EXPECT_TRUE(Host().texts().empty()) << "nothing to tell";
    face.missing = "needs at least 60x20, this one is 59x20";
    EXPECT_EQ(run().result, 53);
    EXPECT_EQ(Host().texts(), std::vector<std::string>{
                                  "ShowTagFormatDialog() error. The dialog needs at least 60x20, "
                                  "this one is 59x20"});
    face.canOpen = true;
    face.users.push_back([](DialogModel& d) { d.pressButton(kCancelButton); });
    run();
    EXPECT_EQ(Host().texts().size(), 1u) << "a cancel is not a failure";
    fillIn(M, B, "1");
    EXPECT_EQ(run().gas, "01MB0001");
}

TEST_F(TagFormatDialog, MissingRecordOrBufferGetsNothing) {
    VpiCallBlock call{nullptr, VPI_TAG_FORMAT, 1, 0, nullptr};
    EXPECT_EQ(VpiMain(&call), 53);
    GateParseRecord record{};
    call.params = &record;
    EXPECT_EQ(VpiMain(&call), 53);
    EXPECT_EQ(face.opened, 0);
    EXPECT_EQ(Host().texts(), (std::vector<std::string>(2, "ShowTagFormatDialog() error. No address buffer")));
    EXPECT_TRUE(Host().registeredNames.empty());
}

TEST_F(TagFormatDialog, ModuleFindsItsOwnDialogOnly) {
    const PlatformOps& ops = Platform();
    EXPECT_NE(ops.getModuleHandle("PLCLINK.DLL"), nullptr);
    EXPECT_NE(ops.getModuleHandle("plclink.dll"), nullptr);
    EXPECT_NE(ops.getModuleHandle("PlcLink.so"), nullptr);
    EXPECT_EQ(ops.getModuleHandle("other.dll"), nullptr);
    EXPECT_EQ(ops.getModuleHandle(nullptr), nullptr);
    void* self = ops.getModuleHandle("PLCLINK.DLL");
    const auto proc = [](WindowHandle, std::uint32_t, MessageWParam, MessageLParam) -> MessageResult {
        return 0;
    };
    EXPECT_NE(ops.dialogBoxParam(nullptr, kTagFormatTemplateId, nullptr, proc, 0), 1);
    EXPECT_NE(ops.dialogBoxParam(self, 102, nullptr, proc, 0), 1);
    EXPECT_EQ(face.opened, 0);
}

}  // namespace
}  // namespace plclink

#endif  // !defined(_WIN32)
