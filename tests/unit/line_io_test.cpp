#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "scripted_platform.h"
#include "serial/line_io.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

class LineIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        LineConfig c{};
        std::strcpy(c.portName, "COM1");
        c.settings = {9600, 8, 0, 2};
        c.controlFlags = kDriverControlFlags;
        line = OpenLine(c);
        ASSERT_NE(line, kNoLine);
        os.clearCalls();
    }
    std::vector<std::string> Log() const { return testing::Host().texts(); }

    ScriptedPlatform os;
    LineHandle line = kNoLine;
};

TEST_F(LineIoTest, LineControlIssuesTheEscapeFunctions) {
    SetRts(line, 1);
    EXPECT_TRUE(os.port(line)->rts);
    SetRts(line, 2);  // anything but 1 drops it
    EXPECT_FALSE(os.port(line)->rts);
    SetDtr(line, 1);
    SetDtr(line, 0);
    std::vector<std::uint64_t> functions;
    for (const auto& c : os.callsOf("escapeFunction")) functions.push_back(c.args[1]);
    EXPECT_EQ(functions, (std::vector<std::uint64_t>{3, 4, 5, 6}));
    EXPECT_TRUE(Log().empty());
}

TEST_F(LineIoTest, LineControlFailuresAreLogged) {
    os.fail("escapeFunction", 2);
    SetRts(line, 1);
    SetDtr(line, 0);
    os.fail("clearErrors");
    os.errorCode = 0x57;
    ClearLineErrors(line);
    os.fail("waitEvent");
    WaitTxEmpty(line);
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "EscapeCommFunction fail (RTS)", "EscapeCommFunction fail (DTR)",
                         "ClearCommError (Rx) failed 00000057",
                         "SG: WaitTxEmpty() WaitCommEvent() EV_TXEMPTY fail"}));
    for (const auto& l : testing::Host().log) EXPECT_EQ(l.category, 32);
}

TEST_F(LineIoTest, WaitTxEmptyNeedsTheTransmitEmptyEvent) {
    os.port(line)->eventMask = kEventTxEmpty;
    WaitTxEmpty(line);
    EXPECT_TRUE(Log().empty());
    os.reportedEvents = 0x0001;  // some other event
    WaitTxEmpty(line);
    EXPECT_EQ(Log(), std::vector<std::string>{"SG: WaitTxEmpty() WaitCommEvent() EV_TXEMPTY fail"});
}

TEST_F(LineIoTest, LineControlDoesNothingOnTheNullLine) {
    SetRts(kNullLine, 1);
    SetDtr(kNullLine, 0);
    ClearLineErrors(kNullLine);
    WaitTxEmpty(kNullLine);
    EXPECT_TRUE(os.calls.empty());
    EXPECT_TRUE(Log().empty());
}

TEST_F(LineIoTest, WriteReportsAllShortOrFailed) {
    const Bytes frame{0x10, 2, 0, 0x49, 0x4B, 0x16};
    std::uint32_t written = 99;
    EXPECT_EQ(WriteBytes(line, frame.data(), 6, &written), kIoDone);
    EXPECT_EQ(written, 6u);
    EXPECT_EQ(os.written(), frame);
    os.shortWrite(4);
    EXPECT_EQ(WriteBytes(line, frame.data(), 6, &written), kIoShortWrite);
    EXPECT_EQ(written, 4u);
    os.fail("writePort");
    written = 99;
    EXPECT_EQ(WriteBytes(line, frame.data(), 6, &written), kIoFailed);
    EXPECT_EQ(written, 99u);
    EXPECT_EQ(WriteBytes(line, frame.data(), 6, nullptr), kIoDone);
    EXPECT_EQ(WriteBytes(kNullLine, frame.data(), 6, &written), kIoFailed);
}

TEST_F(LineIoTest, ReadCollectsTheExactCountOverSeveralCalls) {
    os.deliver({1, 2, 3, 4});
    os.deliver({5, 6}, 1010);  // during the second read call, within the bound
    Bytes buf(8, 0);
    std::uint32_t got = 99;
    EXPECT_EQ(ReadBytes(line, buf.data(), 6, &got), kIoDone);
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(buf, (Bytes{1, 2, 3, 4, 5, 6, 0, 0}));
    auto reads = os.callsOf("readPort");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].args[1], 6u);
    EXPECT_EQ(reads[1].args[1], 2u);
}

TEST_F(LineIoTest, ReadEndsAfterAnEmptyTimeOutWithTheCountSoFar) {
    os.deliver({1, 2, 3, 4});
    Bytes buf(6, 0);
    std::uint32_t got = 99;
    EXPECT_EQ(ReadBytes(line, buf.data(), 6, &got), kIoFailed);
    EXPECT_EQ(got, 4u);
    // One read time-out, then what is left of twice the six bytes' line time
    // at 9600 baud (13.75 ms, rounded up).
    EXPECT_EQ(os.nowMs(), 1014u);
    EXPECT_EQ(ReadBytes(line, buf.data(), 6, nullptr), kIoFailed);
    EXPECT_TRUE(Log().empty());
}

TEST_F(LineIoTest, ReadFailuresAndZeroLengths) {
    Bytes buf(4, 0);
    std::uint32_t got = 99;
    os.deliver({1, 2, 3, 4});
    EXPECT_EQ(ReadBytes(line, buf.data(), 0, &got), kIoFailed);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(ReadBytes(line, buf.data(), 0x10000, &got), kIoFailed);  // low 16 bits: 0
    EXPECT_EQ(os.callsOf("readPort").back().args[1], 0u);

    os.clearCalls();
    os.fail("readPort");
    EXPECT_EQ(ReadBytes(line, buf.data(), 2, &got), kIoFailed);
    EXPECT_EQ(os.callNames(), (Names{"readPort", "lastError"}));
    EXPECT_EQ(ReadBytes(line, buf.data(), 0x10002, &got), kIoDone);  // low 16 bits: 2
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(ReadBytes(kNullLine, buf.data(), 2, &got), kIoFailed);
}

TEST_F(LineIoTest, PurgeWithNothingWaitingReadsNothing) {
    EXPECT_EQ(PurgeInput(line), 0);
    EXPECT_EQ(os.callNames(), Names{"clearErrors"});
}

TEST_F(LineIoTest, PurgeDrainsInFullChunksAndRestoresTheTimeOut) {
    SetReadTimeout(line, 30);
    os.deliver(Bytes(1100, 0xAA));
    os.clearCalls();
    EXPECT_EQ(PurgeInput(line), 0);
    EXPECT_EQ(os.pendingBytes(), 0u);
    std::vector<std::size_t> sizes;
    for (const auto& c : os.callsOf("readPort")) sizes.push_back(c.data.size());
    // Until a read call finds the line silent.
    EXPECT_EQ(sizes, (std::vector<std::size_t>{512, 512, 76, 0}));
    auto sets = os.callsOf("setTimeouts");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].args[3], 50u);
    EXPECT_EQ(sets[1].args[3], 300u);
    EXPECT_EQ(os.port(line)->timeouts.readTotalConstant, 300u);
}

// Bytes that trickle in slower than the line carries them: the read ends
// one read time-out plus twice the bytes' line time after it began, and the
// port gets its own time-out back.
TEST_F(LineIoTest, ReadOfATrickleEndsWithinItsBound) {
    for (std::uint64_t i = 0; i < 29; ++i) os.deliver({static_cast<std::uint8_t>(i)}, 900 * (i + 1));
    Bytes buf(29, 0);
    std::uint32_t got = 0;
    EXPECT_EQ(ReadBytes(line, buf.data(), 29, &got), kIoFailed);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(os.nowMs(), 1000u + 67u);  // 2 x 29 x 11 bits at 9600 baud: 66.5 ms
    EXPECT_EQ(os.port(line)->timeouts.readTotalConstant, 1000u);

}

TEST_F(LineIoTest, ReadBoundLeavesBytesThatComeInTime) {
    // 2 x 6 x 11 bits at 9600 baud: 14 ms after the read time-out.
    os.deliver({1, 2, 3}, 999);
    os.deliver({4}, 1005);
    os.deliver({5, 6}, 1013);
    Bytes buf(6, 0);
    std::uint32_t got = 0;
    EXPECT_EQ(ReadBytes(line, buf.data(), 6, &got), kIoDone);
    EXPECT_EQ(buf, (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(os.nowMs(), 1013u);
    EXPECT_EQ(os.port(line)->timeouts.readTotalConstant, 1000u);

    // No line state (no baud rate): the bound is the read time-out alone.
    os.noLineStatePorts.insert("COM1");
    os.deliver({7}, 990);
    os.deliver({8}, 1001);
    EXPECT_EQ(ReadBytes(line, buf.data(), 2, &got), kIoFailed);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(os.nowMs(), 1013u + 1000u);
}

// A line that never falls silent: the purge discards for one read time-out
// of the line, then gives up with its own result and a log line.
TEST_F(LineIoTest, PurgeGivesUpOnALineThatKeepsSending) {
    SetReadTimeout(line, 20);
    for (std::uint64_t at = 0; at < 2000; at += 40) os.deliver(Bytes(300, 0x55), at);
    os.clearCalls();
    EXPECT_EQ(PurgeInput(line), kPurgeLineBusy);
    EXPECT_GE(os.nowMs(), 200u);
    EXPECT_LE(os.nowMs(), 250u);
    EXPECT_EQ(os.port(line)->timeouts.readTotalConstant, 200u);
    EXPECT_EQ(Log(), (std::vector<std::string>{"PurgeInput() FAIL (the line kept sending for 200 ms)"}));

    // Once the line falls silent the purge ends as usual.
    os.advance(2000);
    testing::Host().reset();
    EXPECT_EQ(PurgeInput(line), kIoDone);
    EXPECT_TRUE(Log().empty());
}

TEST_F(LineIoTest, PurgeKeepsFiftyMsWhenThePreviousTimeOutWasTooShort) {
    os.port(line)->timeouts.readTotalConstant = 5;
    os.deliver({1});
    EXPECT_EQ(PurgeInput(line), 0);
    EXPECT_EQ(os.port(line)->timeouts.readTotalConstant, 50u);
}

TEST_F(LineIoTest, PurgeReportsAFailedRead) {
    os.deliver(Bytes(600, 1));
    os.fail("readPort", -1);
    EXPECT_EQ(PurgeInput(line), 1);
    EXPECT_EQ(os.port(line)->timeouts.readTotalConstant, 1000u);  // restored
    // Status unreadable: drains anyway.
    os.fail("readPort", 0);
    os.fail("clearErrors");
    os.clearCalls();
    EXPECT_EQ(PurgeInput(line), 0);
    EXPECT_EQ(os.callsOf("readPort").size(), 3u);
    EXPECT_EQ(PurgeInput(kNullLine), 1);
    EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace plclink
