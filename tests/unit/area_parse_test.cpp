// Tag addresses in the areas beyond I, Q, M and V (S, SM, AI, AQ) through
// commands 3 and 4: what each stores, and that each is refused exactly where
// the same text with a one-letter area would be, plus the word-only rule of
// the analog areas.
#include <string>
#include <vector>

#include "gate_parse_fixture.h"

namespace plclink::testing {
namespace {

using AreaParseTest = GateParseTest;
constexpr std::uint32_t kSingleParse = 3;
constexpr std::uint32_t kBlockParse = 4;

struct Case {
    const char* gas;
    std::uint32_t command;
    std::int32_t gateType;
    bool threeDigit;
};

TEST_F(AreaParseTest, NewAreasParseToTheirAreaByte) {
    struct Accepted {
        Case c;
        Parsed want;
    };
    const std::vector<Accepted> cases = {
        {{"02SMB0028", kSingleParse, 0, false}, {2, char(VPI_AREA_SM), 28, 255, 8}},
        {{"02smw0022", kSingleParse, 1, false}, {2, char(VPI_AREA_SM), 11, 255, 16}},
        {{"02SMD0000", kSingleParse, 4, false}, {2, char(VPI_AREA_SM), 0, 255, 32}},
        {{"02SMB00005", kSingleParse, 6, false}, {2, char(VPI_AREA_SM), 0, 5, 8}},
        {{"02AIW0000", kSingleParse, 1, false}, {2, char(VPI_AREA_AI), 0, 255, 16}},
        {{"02AQW0002", kSingleParse, 2, false}, {2, char(VPI_AREA_AQ), 1, 255, 16}},
        {{"02SB0000", kSingleParse, 0, false}, {2, char(VPI_AREA_S), 0, 255, 8}},
        {{"02SW0000", kSingleParse, 0, false}, {2, char(VPI_AREA_S), 0, 255, 16}},
        {{"02SB00001", kSingleParse, 6, false}, {2, char(VPI_AREA_S), 0, 1, 8}},
        {{"002SMB00005", kSingleParse, 6, true}, {2, char(VPI_AREA_SM), 0, 5, 8}},
        {{"002AQW0002", kSingleParse, 0, true}, {2, char(VPI_AREA_AQ), 1, 255, 16}},
        {{"02AIW0010", kBlockParse, 0, false}, {2, char(VPI_AREA_AI), 5, 255, 16}},
        {{"02SMF0004", kBlockParse, 6, false}, {2, char(VPI_AREA_SM), 1, 255, 32}},
        {{"002SB0031", kBlockParse, 0, true}, {2, char(VPI_AREA_S), 31, 255, 8}},
    };
    for (const Accepted& a : cases) {
        SCOPED_TRACE(a.c.gas);
        instance_.threeDigitPlc = a.c.threeDigit ? 1 : 0;
        const ParseRun run = Parse(a.c.command, a.c.gas, a.c.gateType);
        ExpectAccepted(run, a.want);
        ExpectHostFieldsKept(run, a.c.gateType);
        if (a.c.command == kSingleParse) {
            EXPECT_TRUE(run.log.empty());
        }
    }
}

TEST_F(AreaParseTest, NearMissesAreRefusedWithTheirReason) {
    struct Refused {
        Case c;
        std::int32_t plcNumber;  // kUntouched when refused before it is read
        std::vector<std::string> lines;  // after the block parse's entry line
    };
    const std::vector<Refused> cases = {
        // The word-only rule of the analog areas, where a one-letter area passes.
        {{"02AIB0000", kSingleParse, 0, false}, 2,
         {"VpiK701: SingleParse() error. Tag '02AIB0000' area takes words only"}},
        {{"02aqb00003", kSingleParse, 6, false}, 2,
         {"VpiK701: SingleParse() error. Tag '02AQB00003' area takes words only"}},
        {{"02AID0000", kBlockParse, 0, false}, 2,
         {"VpiK701: BlockParse() failed. Tag '02AID0000' area takes words only"}},
        // Refused as the same text with a one-letter area is.
        {{"02AIW0001", kSingleParse, 1, false}, 2, {}},
        {{"02AIW0001", kBlockParse, 0, false}, 2,
         {"VpiK701: BlockParse() failed. Tag '02AIW0001' address must be even"}},
        {{"02AIW00001", kSingleParse, 6, false}, 2,
         {"VpiK701: SingleParse() error. Tag '02AIW00001' bits not supported for this type"}},
        {{"02SMD0002", kSingleParse, 4, false}, 2, {}},
        {{"02SMB0028", kSingleParse, 6, false}, kUntouched, {}},
        {{"02SB0000", kSingleParse, 6, false}, kUntouched, {}},
        {{"02SMB00009", kSingleParse, 6, false}, kUntouched,
         {"VpiK701: invalid chars in address (02SMB00009)"}},
        {{"02SMB00005", kBlockParse, 0, false}, kUntouched, {}},
        {{"02SMB0005", kSingleParse, 0, true}, kUntouched,
         {"VpiK701: invalid chars in address (02SMB0005)"}},
        // Unknown areas: letters that name none (timers and counters are
        // areas now), and two-letter names that are none.
        {{"02ZW0037", kSingleParse, 1, false}, kUntouched,
         {"VpiK701: invalid chars in address (02ZW0037)"}},
        {{"02HW0000", kBlockParse, 0, false}, kUntouched,
         {"VpiK701: invalid chars in address (02HW0000)"}},
        {{"02AW00000", kSingleParse, 0, false}, kUntouched, {}},
        {{"02AXW000", kSingleParse, 0, false}, kUntouched,
         {"VpiK701: invalid chars in address (02AXW000)"}},
        {{"02MSB0000", kSingleParse, 0, false}, kUntouched, {}},
        {{"02MSB000", kSingleParse, 0, false}, kUntouched,
         {"VpiK701: invalid chars in address (02MSB000)"}},
    };
    for (const Refused& r : cases) {
        SCOPED_TRACE(r.c.gas);
        instance_.threeDigitPlc = r.c.threeDigit ? 1 : 0;
        const ParseRun run = Parse(r.c.command, r.c.gas, r.c.gateType);
        ExpectRejected(run, r.plcNumber);
        std::vector<std::string> lines;
        for (const LogLine& line : run.log) {
            if (line.category == 32) lines.push_back(line.text);
        }
        EXPECT_EQ(lines, r.lines);
    }
}

}  // namespace
}  // namespace plclink::testing
