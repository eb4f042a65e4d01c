#include <string>
#include <vector>

#include "gate_parse_fixture.h"

namespace plclink::testing {
namespace {

using SingleParseTest = GateParseTest;
constexpr std::uint32_t kSingleParse = 3;

struct Accepted {
    const char* gas;
    std::int32_t gateType;
    Parsed want;
};

TEST_F(SingleParseTest, AcceptsEachElementTypeForItsGateTypes) {
    const std::vector<Accepted> cases = {
        {"01MB0012", 0, {1, 'M', 12, 255, 8}},
        {"02QB0013", 1, {2, 'Q', 13, 255, 8}},
        {"03IB0001", 2, {3, 'I', 1, 255, 8}},
        {"01mw0014", 1, {1, 'M', 7, 255, 16}},
        {"01VW0100", 0, {1, 'V', 50, 255, 16}},
        {"01VW0102", 2, {1, 'V', 51, 255, 16}},
        {"01VD0100", 4, {1, 'V', 25, 255, 32}},
        {"01VD0104", 5, {1, 'V', 26, 255, 32}},
        {"01VF0100", 3, {1, 'V', 25, 255, 32}},
        {"01IB00037", 6, {1, 'I', 3, 7, 8}},
        {"07qb99990", 6, {7, 'Q', 9999, 0, 8}},
        {"00MB0000", 0, {0, 'M', 0, 255, 8}},
        {"99QD9996", 4, {99, 'Q', 2499, 255, 32}},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.gas);
        const ParseRun run = Parse(kSingleParse, c.gas, c.gateType);
        ExpectAccepted(run, c.want);
        ExpectHostFieldsKept(run, c.gateType);
        EXPECT_TRUE(run.log.empty());
    }
}

TEST_F(SingleParseTest, ThreeDigitFormAcceptsThreePlcDigits) {
    UseThreeDigitPlc();
    const std::vector<Accepted> cases = {
        {"001MB0012", 0, {1, 'M', 12, 255, 8}},
        {"999vw0100", 1, {999, 'V', 50, 255, 16}},
        {"123VF0008", 3, {123, 'V', 2, 255, 32}},
        {"001IB00037", 6, {1, 'I', 3, 7, 8}},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.gas);
        const ParseRun run = Parse(kSingleParse, c.gas, c.gateType);
        ExpectAccepted(run, c.want);
        EXPECT_TRUE(run.log.empty());
    }
}

TEST_F(SingleParseTest, WrongLengthIsRejectedSilentlyBeforeAnythingIsRead) {
    const std::vector<std::pair<const char*, std::int32_t>> cases = {
        {"01MB012", 2},    {"01MB00127", 2}, {"01IB0003", 6}, {"01IB000307", 6},
        {"", 0},           {"01VD010", 4},   {"001MB0012", 0},
        {"01MB0012345678901234", 0},  // far beyond the work area
        {"01IB00037xyz", 6},          // 12 characters: one past the work area
    };
    for (const auto& [gas, gateType] : cases) {
        SCOPED_TRACE(gas);
        const ParseRun run = Parse(kSingleParse, gas, gateType);
        ExpectRejected(run);
        ExpectHostFieldsKept(run, gateType);
        EXPECT_TRUE(run.log.empty());
    }
    UseThreeDigitPlc();
    for (const auto& [gas, gateType] : std::vector<std::pair<const char*, std::int32_t>>{
             {"01MB0012", 0}, {"001IB0003", 6}, {"001IB000370", 6}, {"001IB0003701", 6}}) {
        SCOPED_TRACE(gas);
        const ParseRun run = Parse(kSingleParse, gas, gateType);
        ExpectRejected(run);
        EXPECT_TRUE(run.log.empty());
    }
}

TEST_F(SingleParseTest, ElementTypeNotAdmittedOrMisalignedIsRejectedSilently) {
    const std::vector<std::pair<const char*, std::int32_t>> cases = {
        {"01MW0013", 1}, {"01VD0102", 5}, {"01VD0100", 3}, {"01VB0100", 3}, {"01VD0100", 0},
        {"01VF0102", 3}, {"01VF0100", 4}, {"01VB0100", 4}, {"01VW0100", 5}, {"01VF0100", 2},
    };
    for (const auto& [gas, gateType] : cases) {
        SCOPED_TRACE(std::string(gas) + " type " + std::to_string(gateType));
        const ParseRun run = Parse(kSingleParse, gas, gateType);
        ExpectRejected(run, 1);
        EXPECT_TRUE(run.log.empty());
    }
}

TEST_F(SingleParseTest, CharacterOutsideItsClassLogsTheHostsText) {
    const std::vector<std::pair<const char*, std::int32_t>> cases = {
        {"01xB0012", 0}, {"01IB00038", 6}, {"01MA0012", 1}, {"0aMB0012", 0}, {"01MB001x", 2},
    };
    for (const auto& [gas, gateType] : cases) {
        SCOPED_TRACE(gas);
        const ParseRun run = Parse(kSingleParse, gas, gateType);
        ExpectRejected(run);
        EXPECT_EQ(run.log, std::vector<LogLine>{
                               Line(std::string("VpiK701: invalid chars in address (") + gas + ")")});
    }
    UseThreeDigitPlc();
    const ParseRun run = Parse(kSingleParse, "01mb001271", 6);
    ExpectRejected(run);
    EXPECT_EQ(run.log, std::vector<LogLine>{Line("VpiK701: invalid chars in address (01mb001271)")});
}

TEST_F(SingleParseTest, BitOfAWiderElementLogsTheNormalisedText) {
    ParseRun run = Parse(kSingleParse, "01iw00047", 6);
    ExpectRejected(run, 1);
    EXPECT_EQ(run.log, std::vector<LogLine>{Line(
                           "VpiK701: SingleParse() error. Tag '01IW00047' bits not supported for this type")});
    UseThreeDigitPlc();
    run = Parse(kSingleParse, "012vd01001", 6);
    ExpectRejected(run, 12);
    EXPECT_EQ(run.log, std::vector<LogLine>{Line(
                           "VpiK701: SingleParse() error. Tag '012VD01001' bits not supported for this type")});
}

TEST_F(SingleParseTest, UnknownGateTypeLogsAfterStoringThePlcNumber) {
    for (std::int32_t gateType : {7, -1, 1000}) {
        SCOPED_TRACE(gateType);
        const ParseRun run = Parse(kSingleParse, "01MB0012", gateType);
        ExpectRejected(run, 1);
        ExpectHostFieldsKept(run, gateType);
        EXPECT_EQ(run.log, std::vector<LogLine>{Line("VpiK701: invalid Gate Type")});
    }
    // Without a length test a short text gets as far as the gate type.
    const ParseRun run = Parse(kSingleParse, "42", 9);
    ExpectRejected(run, 42);
    EXPECT_EQ(run.log, std::vector<LogLine>{Line("VpiK701: invalid Gate Type")});
}

TEST_F(SingleParseTest, UnknownGateTypeWithTextBeyondTheClassesIsInvalidChars) {
    for (const char* gas : {"01MB001270", "01MB0012701", "01MB00127012345678901234567890"}) {
        SCOPED_TRACE(gas);
        const ParseRun run = Parse(kSingleParse, gas, 7);
        ExpectRejected(run);
        ExpectHostFieldsKept(run, 7);
        EXPECT_EQ(run.log, std::vector<LogLine>{
                               Line(std::string("VpiK701: invalid chars in address (") + gas + ")")});
    }
    UseThreeDigitPlc();
    const ParseRun run = Parse(kSingleParse, "001MB001270", 7);
    ExpectRejected(run);
    EXPECT_EQ(run.log, std::vector<LogLine>{Line("VpiK701: invalid chars in address (001MB001270)")});
}

TEST_F(SingleParseTest, MissingRecordPartsAreRejectedWithoutACrash) {
    for (std::int32_t gateType : {0, 6, 7}) {
        const ParseRun run = Parse(kSingleParse, nullptr, gateType);
        ExpectRejected(run);
        EXPECT_TRUE(run.log.empty());
    }
    GateParseRecord record{};
    VpiCallBlock noRecord{&instance_, kSingleParse, 1, 0, nullptr};
    EXPECT_EQ(VpiMain(&noRecord), 1);
    char gas[] = "01MB0012";
    record.gas = gas;
    VpiCallBlock noInstance{nullptr, kSingleParse, 1, 0, &record};
    EXPECT_EQ(VpiMain(&noInstance), 1);
    EXPECT_TRUE(Host().log.empty());
}

TEST_F(SingleParseTest, FormIsReadAfreshOnEveryParse) {
    ExpectAccepted(Parse(kSingleParse, "01MB0012", 0), {1, 'M', 12, 255, 8});
    UseThreeDigitPlc();
    ExpectRejected(Parse(kSingleParse, "01MB0012", 0));
    ExpectAccepted(Parse(kSingleParse, "001MB0012", 0), {1, 'M', 12, 255, 8});
    instance_.threeDigitPlc = 0;
    ExpectRejected(Parse(kSingleParse, "001MB0012", 0));
}

}  // namespace
}  // namespace plclink::testing
