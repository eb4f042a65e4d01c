#include <string>
#include <vector>

#include "gate_parse_fixture.h"

namespace plclink::testing {
namespace {

using BlockParseTest = GateParseTest;
constexpr std::uint32_t kBlockParse = 4;

LogLine Entered(const std::string& gas) { return Trace("K7: BlockAddressParser entered GAS = " + gas); }
LogLine Exiting(const std::string& gas) { return Trace("K7: Exiting BlockAddressParser GAS = " + gas); }

struct Accepted {
    const char* gas;
    Parsed want;
};

TEST_F(BlockParseTest, AcceptsEveryElementTypeWithTraceLinesShowingTheHostsText) {
    const std::vector<Accepted> cases = {
        {"01MW0100", {1, 'M', 50, 255, 16}}, {"01mw0100", {1, 'M', 50, 255, 16}},
        {"01VF0100", {1, 'V', 25, 255, 32}}, {"01VB0007", {1, 'V', 7, 255, 8}},
        {"05qd0012", {5, 'Q', 3, 255, 32}},  {"99ib9999", {99, 'I', 9999, 255, 8}},
    };
    // The gate type makes no difference, even one a single parse refuses.
    for (std::int32_t gateType : {0, 6, 99}) {
        for (const Accepted& c : cases) {
            SCOPED_TRACE(std::string(c.gas) + " type " + std::to_string(gateType));
            const ParseRun run = Parse(kBlockParse, c.gas, gateType);
            ExpectAccepted(run, c.want);
            ExpectHostFieldsKept(run, gateType);
            EXPECT_EQ(run.log, (std::vector<LogLine>{Entered(c.gas), Exiting(c.gas)}));
        }
    }
}

TEST_F(BlockParseTest, ThreeDigitFormAcceptsThreePlcDigits) {
    UseThreeDigitPlc();
    const ParseRun run = Parse(kBlockParse, "001MW0100");
    ExpectAccepted(run, {1, 'M', 50, 255, 16});
    EXPECT_EQ(run.log, (std::vector<LogLine>{Entered("001MW0100"), Exiting("001MW0100")}));
    ExpectAccepted(Parse(kBlockParse, "250vd0400"), {250, 'V', 100, 255, 32});
}

TEST_F(BlockParseTest, MisalignedAddressLogsTheReasonWithTheNormalisedText) {
    struct Case {
        const char* gas;
        const char* line;
    };
    for (const Case& c : {
             Case{"01MW0101", "VpiK701: BlockParse() failed. Tag '01MW0101' address must be even"},
             Case{"01vd0102", "VpiK701: BlockParse() failed. Tag '01VD0102' address must be divided by 4"},
             Case{"01VF0102", "VpiK701: BlockParse() failed. Tag '01VF0102' address must be divided by 4"},
             Case{"01VF0001", "VpiK701: BlockParse() failed. Tag '01VF0001' address must be divided by 4"},
         }) {
        SCOPED_TRACE(c.gas);
        const ParseRun run = Parse(kBlockParse, c.gas);
        ExpectRejected(run, 1);
        EXPECT_EQ(run.log, (std::vector<LogLine>{Entered(c.gas), Line(c.line)}));
    }
}

TEST_F(BlockParseTest, LengthNotAdmittedLogsOnlyTheEntryLine) {
    for (const char* gas : {"01MB00127", "01MB001", "", "01MB00120123", "01MB0012012345678901234567890"}) {
        SCOPED_TRACE(gas);
        const ParseRun run = Parse(kBlockParse, gas, 6);
        ExpectRejected(run);
        ExpectHostFieldsKept(run, 6);
        EXPECT_EQ(run.log, std::vector<LogLine>{Entered(gas)});
    }
    UseThreeDigitPlc();
    for (const char* gas : {"01MW0100", "001MW01007", "001MW0100701"}) {
        SCOPED_TRACE(gas);
        const ParseRun run = Parse(kBlockParse, gas);
        ExpectRejected(run);
        EXPECT_EQ(run.log, std::vector<LogLine>{Entered(gas)});
    }
}

TEST_F(BlockParseTest, CharacterOutsideItsClassLogsTheHostsText) {
    // Ten characters (eleven in the three-digit form) pass the length test;
    // a character after the address never fits: the bit position admits no
    // '8', and the position after it admits nothing.
    const std::vector<const char*> cases = {"01xB0012", "01MA0100", "01MB001287", "01MB001207",
                                            "01mb001270"};
    for (const char* gas : cases) {
        SCOPED_TRACE(gas);
        const ParseRun run = Parse(kBlockParse, gas);
        ExpectRejected(run);
        EXPECT_EQ(run.log, (std::vector<LogLine>{
                               Entered(gas), Line(std::string("VpiK701: invalid chars in address (") + gas + ")")}));
    }
    UseThreeDigitPlc();
    const ParseRun run = Parse(kBlockParse, "001MB001207");
    ExpectRejected(run);
    EXPECT_EQ(run.log, (std::vector<LogLine>{Entered("001MB001207"),
                                             Line("VpiK701: invalid chars in address (001MB001207)")}));
}

TEST_F(BlockParseTest, MissingRecordPartsAreRejectedWithoutACrash) {
    const ParseRun run = Parse(kBlockParse, nullptr);
    ExpectRejected(run);
    EXPECT_EQ(run.log, std::vector<LogLine>{Entered("(null)")});

    Host().log.clear();
    VpiCallBlock noRecord{&instance_, kBlockParse, 1, 0, nullptr};
    EXPECT_EQ(VpiMain(&noRecord), 1);
    GateParseRecord record{};
    char gas[] = "01MW0100";
    record.gas = gas;
    VpiCallBlock noInstance{nullptr, kBlockParse, 1, 0, &record};
    EXPECT_EQ(VpiMain(&noInstance), 1);
    EXPECT_TRUE(Host().log.empty());
}

}  // namespace
}  // namespace plclink::testing
