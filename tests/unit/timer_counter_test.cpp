// Timers (T) and counters (C): their tag addresses, the read request that
// names them by number, the strict check of the answer's records, and
// writes that never reach the line.
#include <cstring>
#include <string>
#include <vector>

#include "gate_parse_fixture.h"
#include "ppi/s7200_messages.h"
#include "s7200_peer.h"
#include "scripted_platform.h"

namespace plclink {
namespace {

using testing::Bytes;
using testing::Host;
using testing::ResponseFrame;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kSingle = VPI_SINGLE_PARSE;
constexpr std::uint32_t kBlock = VPI_BLOCK_PARSE;

using TimerCounterParseTest = testing::GateParseTest;

// The number is the element index as it stands (T37 is 37, odd or not), a
// word of 16 bits, in both forms and in blocks.
TEST_F(TimerCounterParseTest, NumbersAreTheElementIndex) {
    struct Case {
        const char* gas;
        std::uint32_t command;
        std::int32_t gateType;
        bool threeDigit;
        testing::Parsed want;
    };
    const std::vector<Case> cases = {
        {"02TW0037", kSingle, 1, false, {2, char(VPI_AREA_T), 37, 255, 16}},
        {"02cw0012", kSingle, 0, false, {2, char(VPI_AREA_C), 12, 255, 16}},
        {"002TW0255", kSingle, 2, true, {2, char(VPI_AREA_T), 255, 255, 16}},
        {"02TW0037", kBlock, 6, false, {2, char(VPI_AREA_T), 37, 255, 16}},
        {"002CW0000", kBlock, 0, true, {2, char(VPI_AREA_C), 0, 255, 16}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gas);
        instance_.threeDigitPlc = c.threeDigit ? 1 : 0;
        ExpectAccepted(Parse(c.command, c.gas, c.gateType), c.want);
    }
}

TEST_F(TimerCounterParseTest, OtherTypesBitsAndHighNumbersAreRefusedWithAReason) {
    struct Case {
        const char* gas;
        std::uint32_t command;
        std::int32_t gateType;
        std::vector<std::string> lines;  // category 32
    };
    const std::vector<Case> cases = {
        {"02TB0037", kSingle, 0, {"VpiK701: SingleParse() error. Tag '02TB0037' area takes words only"}},
        {"02TD0037", kSingle, 4, {"VpiK701: SingleParse() error. Tag '02TD0037' area takes words only"}},
        {"02CF0001", kSingle, 3, {"VpiK701: SingleParse() error. Tag '02CF0001' area takes words only"}},
        {"02TW00371", kSingle, 6,
         {"VpiK701: SingleParse() error. Tag '02TW00371' bits not supported for this type"}},
        {"02CB00011", kSingle, 6, {"VpiK701: SingleParse() error. Tag '02CB00011' area takes words only"}},
        {"02TW0300", kSingle, 1, {"VpiK701: SingleParse() error. Tag '02TW0300' number above 255"}},
        {"02CW0256", kBlock, 0, {"VpiK701: BlockParse() failed. Tag '02CW0256' number above 255"}},
        {"02TB0001", kBlock, 0, {"VpiK701: BlockParse() failed. Tag '02TB0001' area takes words only"}},
        // As for AI: a word needs a gate type that takes words; blocks take no bit.
        {"02TW0037", kSingle, 4, {}},
        {"02TW00371", kBlock, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gas);
        const testing::ParseRun run = Parse(c.command, c.gas, c.gateType);
        ExpectRejected(run, c.command == kBlock && std::strlen(c.gas) == 9 ? testing::kUntouched : 2);
        Lines lines;
        for (const testing::LogLine& line : run.log)
            if (line.category == 32) lines.push_back(line.text);
        EXPECT_EQ(lines, c.lines);
    }
}

class TimerCounterMessagesTest : public ::testing::Test {
protected:
    void SetUp() override { Host().reset(); }

    Bytes Tx() const { return Bytes(side.instance.txFrame, side.instance.txFrame + side.instance.txLength); }
    // A read of `count` elements from number `number` of `area`.
    void Request(std::uint8_t area, std::int32_t number, std::int32_t count) {
        side.tag('V', 16, number);
        side.record.memArea = area;
        side.instance.blockMode = count > 1 ? 1 : 0;
        ASSERT_EQ(SetS7200RdReq(&side.block, count), 0);
    }
    // Check and decode of `data` as the answer to the request in txFrame.
    int Answer(const Bytes& data, std::int32_t count) {
        const Bytes frame =
            ResponseFrame(2, {0x04, 0x01}, data, testing::ReferenceOf(Tx()));
        std::memcpy(side.instance.rxFrame, frame.data(), frame.size());
        side.instance.rxLength = static_cast<std::uint32_t>(frame.size());
        Host().reset();
        if (CheckResponse(&side.block) != 0) return 1;
        return GetS7200RdRsp(&side.block, count);
    }
    std::uint16_t Word(std::size_t at) const {
        std::uint16_t v;
        std::memcpy(&v, side.buffer + at, 2);
        return v;
    }

    ScriptedPlatform platform;
    testing::DriverSide side{platform};
};

// The item names the element by its number, with the area code as its
// transport size and DB 0.
TEST_F(TimerCounterMessagesTest, ReadRequestsNameTheNumber) {
    Request(VPI_AREA_T, 37, 1);
    const Bytes tx = Tx();
    ASSERT_EQ(tx.size(), 33u);
    EXPECT_EQ(Bytes(tx.begin() + 19, tx.begin() + 31),
              (Bytes{0x12, 0x0A, 0x10, 0x1F, 0x00, 0x01, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x25}));
    Request(VPI_AREA_C, 255, 3);
    const Bytes counters = Tx();
    EXPECT_EQ(Bytes(counters.begin() + 19, counters.begin() + 31),
              (Bytes{0x12, 0x0A, 0x10, 0x1E, 0x00, 0x03, 0x00, 0x00, 0x1E, 0x00, 0x00, 0xFF}));
    // A write request is never built for them.
    side.instance.txLength = 5;
    EXPECT_EQ(SetS7200WrReq(&side.block, 1), 1);
    EXPECT_EQ(side.instance.txLength, 5);
    EXPECT_EQ(Host().texts(),
              Lines{"VpiK701: SetS7200WrReq() FAIL (timers and counters are not written)"});
}

// The value is the last two bytes of each record, signed; the other bytes
// play no part.
TEST_F(TimerCounterMessagesTest, RecordsOfTheRightShapeGiveTheirLastTwoBytes) {
    Request(VPI_AREA_T, 37, 1);
    EXPECT_EQ(Answer({0xFF, 0x09, 0x00, 0x05, 0xAA, 0xBB, 0xCC, 0x04, 0xD2}, 1), 0);
    EXPECT_EQ(Word(2), 1234);
    EXPECT_TRUE(Host().log.empty());

    Request(VPI_AREA_C, 12, 3);
    EXPECT_EQ(Answer({0xFF, 0x09, 0x00, 0x09, 0x77, 0xFF, 0xFB, 0x00, 0x00, 0x07, 0x80, 0x80, 0x00}, 3), 0);
    EXPECT_EQ(Word(0), 0xFFFB);  // -5
    EXPECT_EQ(Word(2), 7);
    EXPECT_EQ(Word(4), 0x8000);
}

TEST_F(TimerCounterMessagesTest, AnswersOfAnotherShapeAreRefused) {
    struct Case {
        std::uint8_t area;
        std::int32_t count;
        Bytes data;
        const char* line;
    };
    const std::vector<Case> cases{
        // Records in word form, as a word read is answered.
        {VPI_AREA_T, 1, {0xFF, 0x04, 0x00, 0x28, 0x00, 0x00, 0x00, 0x04, 0xD2},
         "VpiK701: Check Responed FAIL (data_type 4, expected 9)"},
        // Two bytes per element.
        {VPI_AREA_T, 1, {0xFF, 0x09, 0x00, 0x02, 0x04, 0xD2},
         "VpiK701: Check Responed FAIL (dat_lg 6, expected 9)"},
        // A timer's record for a counter.
        {VPI_AREA_C, 1, {0xFF, 0x09, 0x00, 0x05, 0x00, 0x00, 0x00, 0xFF, 0xFB},
         "VpiK701: Check Responed FAIL (dat_lg 9, expected 7)"},
        // Two records where three were asked for.
        {VPI_AREA_T, 3, {0xFF, 0x09, 0x00, 0x0A, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2},
         "VpiK701: Check Responed FAIL (dat_lg 14, expected 19)"},
        // A length that disagrees with the records.
        {VPI_AREA_C, 1, {0xFF, 0x09, 0x00, 0x18, 0x00, 0xFF, 0xFB},
         "VpiK701: Check Responed FAIL (data length 24, expected 3)"},
        // A refusal is reported with its code.
        {VPI_AREA_T, 1, {0x0A, 0x00, 0x00, 0x00}, "VpiK701: Check Responed FAIL (access_result: 0a)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Request(c.area, 1, c.count);
        std::memset(side.buffer, 0xEE, sizeof side.buffer);
        EXPECT_EQ(Answer(c.data, c.count), 1);
        EXPECT_EQ(Host().texts(), Lines{c.line});
        EXPECT_EQ(Word(0), 0xEEEE);  // nothing stored
        EXPECT_EQ(Word(2), 0xEEEE);
    }
}

class TimerCounterCommandsTest : public TimerCounterMessagesTest {
protected:
    int Run(std::uint32_t command) {
        side.block.command = command;
        return VpiMain(&side.block);
    }
    testing::S7200Peer peer{platform, 2};
};

// Writes are refused before anything is sent, naming the tag; a block read
// must fit its records into one answer.
TEST_F(TimerCounterCommandsTest, WritesAndOversizedBlocksNeverReachTheLine) {
    const Lines refusals{"VpiK701: WriteValue() FAIL (PLC 2 T37: timers and counters are read-only)",
                         "VpiK701: WriteBlock() FAIL (PLC 2 C37: timers and counters are read-only)"};
    for (std::uint32_t command : {VPI_WRITE_VALUE, VPI_WRITE_BLOCK}) {
        const bool single = command == VPI_WRITE_VALUE;
        Host().reset();
        side.tag('V', 16, 37);
        side.record.memArea = single ? VPI_AREA_T : VPI_AREA_C;
        side.record.itemCount = 2;
        EXPECT_EQ(Run(command), 1);
        EXPECT_EQ(Host().texts(), Lines{refusals[single ? 0 : 1]});
        EXPECT_EQ(side.record.elementIndex, 37);
    }
    // 46 timers' records fit one answer of 234 value bytes, 47 do not; 78 counters' do.
    side.record.memArea = VPI_AREA_T;
    side.record.itemCount = 47;
    Host().reset();
    EXPECT_EQ(Run(VPI_READ_BLOCK), 1);
    EXPECT_EQ(Host().texts(),
              Lines{"VpiK701: ReadBlock() FAIL (itemCount: 47 does not fit one frame)"});
    side.record.memArea = VPI_AREA_C;
    side.record.itemCount = 79;
    EXPECT_EQ(Run(VPI_READ_BLOCK), 1);
    side.tag('V', 16, 256);
    side.record.memArea = VPI_AREA_C;
    EXPECT_EQ(Run(VPI_READ_VALUE), 1);
    EXPECT_TRUE(peer.requests.empty());
}

}  // namespace
}  // namespace plclink
