// The PPI frame layer: checksum, send and receive steps, and the exchange
// with its result codes, log lines and pauses.
#include <algorithm>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "scripted_platform.h"
#include "ppi/frame_io.h"
#include "ppi/ppi_exchange.h"
#include "ppi/ppi_frame.h"
#include "s7200_peer.h"

namespace plclink {
namespace {

using testing::Bytes;
using testing::Host;

const Bytes kReadRequest{0x68, 0x1B, 0x1B, 0x68, 0x02, 0x00, 0x7C, 0x32, 0x01, 0x00, 0x00,
                         0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x04, 0x01, 0x12, 0x0A, 0x10,
                         0x04, 0x00, 0x01, 0x00, 0x01, 0x84, 0x00, 0x03, 0x20, 0x9D, 0x16};
const Bytes kPoll{0x10, 0x02, 0x00, 0x5C, 0x5E, 0x16};
const Bytes kWordResponse{0x68, 0x17, 0x17, 0x68, 0x00, 0x02, 0x08, 0x32, 0x03, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x06, 0x00, 0x00, 0x04,
                          0x01, 0xFF, 0x04, 0x00, 0x10, 0x12, 0x34, 0xA5, 0x16};

class PpiExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        Host().reset();
        platform.clearCalls();
    }

    // Runs the exchange of the read request; a peer hook answers.
    int Exchange(const LinkPause& pause = LinkPause{}) {
        rxLength = 0xDEAD;
        return PpiExchange(side.line, kReadRequest.data(),
                           static_cast<std::int32_t>(kReadRequest.size()), rx, sizeof rx,
                           &rxLength, 1, pause);
    }
    // Answers the request with `first`, and the poll with `afterPoll`.
    void Answer(const Bytes& first, const Bytes& afterPoll = {}) {
        platform.onWrite = [first, afterPoll](ScriptedPlatform& p, const Bytes& frame) {
            p.deliver(frame[0] == 0x10 ? afterPoll : first);
        };
    }
    Bytes Rx(std::size_t n) const { return Bytes(rx, rx + n); }
    std::vector<Bytes> Writes() const {
        std::vector<Bytes> out;
        for (const auto& c : platform.callsOf("writePort")) out.push_back(c.data);
        return out;
    }

    ScriptedPlatform platform;
    testing::DriverSide side{platform};
    std::uint8_t rx[1024]{};
    std::uint32_t rxLength = 0;
};

TEST(FrameChecksum, SumsModulo256) {
    const Bytes poll{0x02, 0x00, 0x5C};
    EXPECT_EQ(FrameChecksum(poll.data(), poll.size()), 0x5E);
    const Bytes wrap{0xFF, 0x02, 0x80, 0x80};
    EXPECT_EQ(FrameChecksum(wrap.data(), wrap.size()), 0x01);
    EXPECT_EQ(FrameChecksum(wrap.data(), 0), 0x00);
    EXPECT_EQ(FrameChecksum(kReadRequest.data() + 4, 27), 0x9D);
}

TEST_F(PpiExchangeTest, SendFrameRaisesRtsOnlyAroundTheBytes) {
    bool rtsWhileWriting = false;
    platform.onWrite = [&](ScriptedPlatform& p, const Bytes&) {
        rtsWhileWriting = p.port(side.line)->rts;
    };
    platform.deliver({0x55, 0x66});  // stale bytes are discarded first
    ASSERT_EQ(SendFrame(side.line, kPoll.data(), 6), kLinkDone);
    EXPECT_TRUE(rtsWhileWriting);
    EXPECT_FALSE(platform.port(side.line)->rts);
    EXPECT_EQ(platform.pendingBytes(), 0u);

    std::vector<std::string> order;
    std::uint64_t rtsAt = 0, writeAt = 0;
    for (const auto& c : platform.calls) {
        if (c.op == "escapeFunction" && c.args[1] == kEscapeSetRts) rtsAt = c.atMs;
        if (c.op == "writePort") writeAt = c.atMs;
        if (c.op == "escapeFunction" || c.op == "writePort" || c.op == "waitEvent" ||
            c.op == "sleep")
            order.push_back(c.op == "escapeFunction" ? (c.args[1] == kEscapeSetRts ? "rts on" : "rts off")
                                                     : c.op);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"rts on", "sleep", "writePort", "waitEvent", "rts off"}));
    EXPECT_EQ(writeAt - rtsAt, 1u);
    EXPECT_EQ(platform.callNames().front(), "clearErrors");
    EXPECT_TRUE(Host().log.empty());
}

TEST_F(PpiExchangeTest, SendFrameTellsPartialFromNothingWritten) {
    platform.shortWrite(3);
    EXPECT_EQ(SendFrame(side.line, kPoll.data(), 6), kLinkBroken);
    EXPECT_FALSE(platform.port(side.line)->rts);
    EXPECT_EQ(platform.callNames().back(), "clearErrors");
    platform.shortWrite(0);
    EXPECT_EQ(SendFrame(side.line, kPoll.data(), 6), kLinkSilent);
    platform.fail("writePort");
    EXPECT_EQ(SendFrame(side.line, kPoll.data(), 6), kLinkSilent);
    EXPECT_FALSE(platform.port(side.line)->rts);
}

TEST_F(PpiExchangeTest, ReceiveExactTellsPartialFromSilence) {
    std::uint8_t buffer[8]{};
    platform.deliver({1, 2, 3, 4, 5});
    EXPECT_EQ(ReceiveExact(side.line, buffer, 5), kLinkDone);
    EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{1, 2, 3, 4, 5}));

    platform.deliver({7, 8});
    platform.clearCalls();
    EXPECT_EQ(ReceiveExact(side.line, buffer, 5), kLinkBroken);
    EXPECT_EQ(platform.callNames().back(), "clearErrors");
    EXPECT_EQ(ReceiveExact(side.line, buffer, 5), kLinkSilent);
    // The partial read waits one time-out and twice the five bytes' line
    // time at 1200 baud (92 ms); the silent one one time-out.
    EXPECT_EQ(platform.nowMs(), 2092u);
}

// A response trickled one byte per 900 ms under a 1000 ms read time-out:
// the head's first byte comes after 900 ms, and the step for its other six
// ends one time-out plus twice their line time (1200 baud: 110 ms) later,
// not when the trickle ends.
TEST_F(PpiExchangeTest, TrickledResponseEndsTheStepWithinItsBound) {
    platform.onWrite = [](ScriptedPlatform& p, const Bytes& frame) {
        if (frame[0] != 0x10) {
            p.deliver({0xE5});
            return;
        }
        for (std::size_t i = 0; i < kWordResponse.size(); ++i)
            p.deliver({kWordResponse[i]}, 900 * (i + 1));
    };
    EXPECT_EQ(Exchange(), kLinkBroken);
    EXPECT_EQ(rxLength, 0u);
    EXPECT_EQ(Host().texts(), std::vector<std::string>{"VpiK701: recv. tSD2Hdr fail"});
    // Pause, RTS lead, SC at once; pause, RTS lead, the bounded head step.
    EXPECT_EQ(platform.nowMs(), 40u + 1u + 40u + 1u + 900u + 1000u + 110u);
}

// A line that never falls silent: nothing is sent, the exchange fails as a
// link failure once the purge has given up.
TEST_F(PpiExchangeTest, FloodingLineFailsTheSendAfterOneTimeOut) {
    for (std::uint64_t at = 0; at < 5000; at += 40) platform.deliver(Bytes(300, 0x55), at);
    EXPECT_EQ(Exchange(), kLinkSilent);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(Host().texts(), (std::vector<std::string>{
                                  "PurgeInput() FAIL (the line kept sending for 1000 ms)",
                                  "VpiK701: Send SD2 fail"}));
    EXPECT_LE(platform.nowMs(), 40u + 1000u + 50u);
}

TEST_F(PpiExchangeTest, ScThenPollThenResponse) {
    Answer({0xE5}, kWordResponse);
    ASSERT_EQ(Exchange(), 0);
    EXPECT_EQ(rxLength, 29u);
    EXPECT_EQ(Rx(29), kWordResponse);
    EXPECT_EQ(Writes(), (std::vector<Bytes>{kReadRequest, kPoll}));
    EXPECT_TRUE(Host().log.empty());

    // 40 ms before the request, 1 ms RTS lead, 40 ms between SC and poll.
    const auto writes = platform.callsOf("writePort");
    EXPECT_EQ(writes[0].atMs, 41u);
    EXPECT_EQ(writes[1].atMs, 41u + 40u + 1u);
}

TEST_F(PpiExchangeTest, DirectResponseGetsNoPollAndAFrameIsTakenWhateverItsChecksum) {
    Bytes corrupted = kWordResponse;
    corrupted[27] ^= 0xFF;
    corrupted[28] = 0x00;
    Answer(corrupted);
    ASSERT_EQ(Exchange(), 0);
    EXPECT_EQ(rxLength, 29u);
    EXPECT_EQ(Rx(29), corrupted);
    EXPECT_EQ(Writes().size(), 1u);
}

TEST_F(PpiExchangeTest, LengthComesFromTheS7Header) {
    // par_lg 6, dat_lg 0: 8 more bytes after the header, whatever LE says.
    Bytes frame{0x68, 0x99, 0x99, 0x68, 0x00, 0x02, 0x08, 0x32, 0x03, 0x00, 0x00, 0x00,
                0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 0xAA, 0x16};
    Answer({0xE5}, frame);
    ASSERT_EQ(Exchange(), 0);
    EXPECT_EQ(rxLength, 27u);
    EXPECT_EQ(Rx(27), frame);
}

struct ForeignCase {
    Bytes first;
    int result;
    std::vector<std::string> log;
};

TEST_F(PpiExchangeTest, ForeignAndInvalidFirstBytes) {
    const std::vector<ForeignCase> cases{
        {{0xDC, 0x00, 0x02}, 1, {"VpiK701: recv SD4 after SD2 message (pass Token)"}},
        {{0xDC, 0x00}, 1,
         {"VpiK701: recv SD4 after SD2 message (pass Token)", "VpiK701: recv. tSD4Hdr - 1 fail"}},
        {{0xDC}, 2,
         {"VpiK701: recv SD4 after SD2 message (pass Token)", "VpiK701: recv. tSD4Hdr - 1 fail"}},
        {{0x10, 0x00, 0x02, 0x08, 0x0A, 0x16}, 1, {"VpiK701: recv SD1 after SD2 message"}},
        // The addressed station busy: no resource, no service.
        {{0x10, 0x00, 0x02, 0x02, 0x04, 0x16}, kLinkBusy, {}},
        {{0x10, 0x00, 0x02, 0x03, 0x05, 0x16}, kLinkBusy, {}},
        // Busy in words only: another station's, or a broken frame.
        {{0x10, 0x00, 0x03, 0x02, 0x05, 0x16}, 1, {"VpiK701: recv SD1 after SD2 message"}},
        {{0x10, 0x00, 0x02, 0x02, 0x05, 0x16}, 1, {"VpiK701: recv SD1 after SD2 message"}},
        {{0x10, 0x00, 0x02}, 1,
         {"VpiK701: recv SD1 after SD2 message", "VpiK701: recv. tSD1Hdr fail"}},
        {{0x00}, 1, {"VpiK701: invalid recv. 00"}},
        {{0xFF, 0xE5}, 1, {"VpiK701: invalid recv. ff"}},
    };
    for (const ForeignCase& c : cases) {
        Host().reset();
        Answer(c.first);
        EXPECT_EQ(Exchange(), c.result) << int(c.first[0]);
        EXPECT_EQ(rxLength, 0u);
        EXPECT_EQ(Host().texts(), c.log);
        for (const auto& line : Host().log) EXPECT_EQ(line.category, 32);
        EXPECT_EQ(Writes().back(), kReadRequest);  // never polled
        platform.clearCalls();
    }
    // The whole token frame was taken off the line.
    Answer({0xDC, 0x00, 0x02, 0xE5});
    Exchange();
    EXPECT_EQ(platform.pendingBytes(), 1u);
}

TEST(LinkPause, ShortPausesStayAboveTheBusIdleTimeAndRepollWithinTheReadTimeOut) {
    EXPECT_EQ(BusIdleMs(9600), 4u);  // 33 bits = 3.44 ms
    EXPECT_EQ(BusIdleMs(19200), 2u);
    EXPECT_EQ(BusIdleMs(187500), 1u);
    EXPECT_EQ(PauseInForce(0, 9600), 40u);  // nothing asked for
    EXPECT_EQ(PauseInForce(1, 9600), 4u);
    EXPECT_EQ(PauseInForce(1, 19200), 2u);
    EXPECT_EQ(PauseInForce(5, 9600), 5u);
    EXPECT_EQ(PauseInForce(41, 9600), 40u);
    EXPECT_EQ(PauseInForce(5, 0), 40u);  // no known baud rate: the classic pause
    EXPECT_EQ(LinkPauseFor(0, 9600, 1000).busyPolls, 0u);
    EXPECT_EQ(LinkPauseFor(40, 9600, 1000).busyPolls, 0u);
    // 5 ms pause + 1 ms RTS lead + 7 bytes x 11 bits at 9600 (9 ms) per poll.
    const LinkPause fast = LinkPauseFor(5, 9600, 1000);
    EXPECT_EQ(fast.pauseMs, 5u);
    EXPECT_EQ(fast.busyPolls, 1000u / 15u);
}

TEST_F(PpiExchangeTest, ShortPauseRepollsABusyStationUntilItAnswers) {
    int busy = 3;
    platform.onWrite = [&busy](ScriptedPlatform& p, const Bytes& frame) {
        if (frame[0] != 0x10) p.deliver({0xE5});
        else if (busy-- > 0) p.deliver({0xE5});
        else p.deliver(kWordResponse);
    };
    ASSERT_EQ(Exchange(LinkPause{5, 10}), 0);
    EXPECT_EQ(Rx(29), kWordResponse);
    EXPECT_EQ(Writes(), (std::vector<Bytes>{kReadRequest, kPoll, kPoll, kPoll, kPoll}));
    EXPECT_TRUE(Host().log.empty());
    std::vector<std::uint64_t> sleeps;
    for (const auto& c : platform.callsOf("sleep")) sleeps.push_back(c.args[0]);
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 5u), 5);  // before the request and each poll
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 40u), 0);
    EXPECT_EQ(platform.callsOf("writePort")[0].atMs, 5u + 1u);
}

// An SC or an SD1 "no resource" that answers the poll says the station is
// busy: the exchange ends at once, without a line, and leaves the answer.
TEST_F(PpiExchangeTest, ABusyStationThatStaysBusyEndsTheExchangeAsBusy) {
    Answer({0xE5}, {0xE5});
    EXPECT_EQ(Exchange(LinkPause{5, 4}), kLinkBusy);
    EXPECT_EQ(platform.callsOf("writePort").size(), 1u + 5u);  // the poll and four more
    EXPECT_TRUE(Host().log.empty());
    EXPECT_EQ(rx[0], 0xE5);
    // With the classic timing the same station is polled once, and not
    // waited out: pause, RTS lead, SC; pause, RTS lead, SC.
    Host().reset();
    platform.clearCalls();
    const std::uint64_t start = platform.nowMs();
    EXPECT_EQ(Exchange(), kLinkBusy);
    EXPECT_EQ(platform.callsOf("writePort").size(), 2u);
    EXPECT_EQ(platform.nowMs() - start, 2u * 41u);
    Answer({0xE5}, {0x10, 0x00, 0x02, 0x02, 0x04, 0x16});
    EXPECT_EQ(Exchange(), kLinkBusy);
    EXPECT_EQ(Rx(6), (Bytes{0x10, 0x00, 0x02, 0x02, 0x04, 0x16}));
    // Any other SD1 after the poll is no response.
    Answer({0xE5}, {0x10, 0x00, 0x02, 0x08, 0x0A, 0x16});
    EXPECT_EQ(Exchange(), 1);
    EXPECT_EQ(Host().texts(), (std::vector<std::string>{"VpiK701: recv. tSD2Hdr fail"}));
    // After a short pause a response head cut short counts as broken, and
    // silence after the poll as silence, as with the classic timing.
    Answer({0xE5}, {0x68, 0x17});
    EXPECT_EQ(Exchange(LinkPause{5, 4}), 1);
    Answer({0xE5}, {});
    EXPECT_EQ(Exchange(LinkPause{5, 4}), 2);
}

TEST_F(PpiExchangeTest, SilenceCostsOneReadTimeOut) {
    ASSERT_EQ(Exchange(), 2);
    EXPECT_EQ(rxLength, 0u);
    EXPECT_EQ(Host().texts(), (std::vector<std::string>{"VpiK701: recv. SC Ack fail"}));
    EXPECT_EQ(platform.nowMs(), 40u + 1u + 1000u);
}

struct BrokenCase {
    const char* what;
    Bytes first;
    Bytes afterPoll;
    int result;
    const char* line;
};

TEST_F(PpiExchangeTest, EveryMissingPieceHasItsLine) {
    const Bytes head(kWordResponse.begin(), kWordResponse.begin() + 7);
    const Bytes withS7(kWordResponse.begin(), kWordResponse.begin() + 19);
    const std::vector<BrokenCase> cases{
        {"no response after poll", {0xE5}, {}, 2, "VpiK701: recv. tSD2Hdr fail"},
        {"direct head cut", {0x68, 0x17}, {}, 1, "VpiK701: recv. tSD2Hdr - 1 fail"},
        {"direct head alone", {0x68}, {}, 2, "VpiK701: recv. tSD2Hdr - 1 fail"},
        {"no S7 header", {0xE5}, head, 2, "VpiK701: recv. tPPIRspHdr fail"},
        {"S7 header cut", {0xE5}, Bytes(kWordResponse.begin(), kWordResponse.begin() + 9), 1,
         "VpiK701: recv. tPPIRspHdr fail"},
        {"no body", {0xE5}, withS7, 2, "VpiK701: recv. (par_lg + dat_lg + 2) fail"},
        {"body without end byte", {0xE5}, Bytes(kWordResponse.begin(), kWordResponse.end() - 1),
         1, "VpiK701: recv. (par_lg + dat_lg + 2) fail"},
    };
    for (const BrokenCase& c : cases) {
        Host().reset();
        Answer(c.first, c.afterPoll);
        EXPECT_EQ(Exchange(), c.result) << c.what;
        EXPECT_EQ(rxLength, 0u) << c.what;
        EXPECT_EQ(Host().texts(), (std::vector<std::string>{c.line})) << c.what;
    }
}

TEST_F(PpiExchangeTest, SendFailuresOfRequestAndPoll) {
    platform.shortWrite(10);
    EXPECT_EQ(Exchange(), 1);
    platform.fail("writePort");
    EXPECT_EQ(Exchange(), 2);
    EXPECT_EQ(Host().texts(),
              (std::vector<std::string>{"VpiK701: Send SD2 fail", "VpiK701: Send SD2 fail"}));

    Host().reset();
    platform.onWrite = [](ScriptedPlatform& p, const Bytes& frame) {
        if (frame[0] == 0x68) {
            p.deliver({0xE5});
            p.shortWrite(2);  // the poll that follows
        }
    };
    EXPECT_EQ(Exchange(), 1);
    EXPECT_EQ(Host().texts(), (std::vector<std::string>{"VpiK701: Send SD1 fail"}));
}

TEST_F(PpiExchangeTest, AFrameLongerThanTheBufferIsRefusedUnread) {
    // par_lg 2 + dat_lg 1002 + 21 = 1025 bytes: one more than the buffer.
    Bytes frame = testing::ResponseFrame(2, {0x04, 0x01}, Bytes(1002, 0xAB));
    Answer({0xE5}, frame);
    std::uint8_t guarded[1030];
    std::fill(std::begin(guarded), std::end(guarded), 0xEE);
    const int rc = PpiExchange(side.line, kReadRequest.data(), 33, guarded, 1024, &rxLength, 1);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(rxLength, 0u);
    for (std::size_t i = 19; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 0xEE) << i;
    EXPECT_EQ(Host().texts(), (std::vector<std::string>{
                                  "VpiK701: recv. frame too long (par_lg + dat_lg + 21 = 1025)"}));

    // Exactly the buffer is fine.
    Host().reset();
    frame = testing::ResponseFrame(2, {0x04, 0x01}, Bytes(1001, 0xAB));
    Answer({0xE5}, frame);
    EXPECT_EQ(PpiExchange(side.line, kReadRequest.data(), 33, guarded, 1024, &rxLength, 1), 0);
    EXPECT_EQ(rxLength, 1024u);
    EXPECT_EQ(guarded[1024], 0xEE);
}

TEST_F(PpiExchangeTest, PrefixCarriesTheInstanceNumber) {
    PpiExchange(side.line, kReadRequest.data(), 33, rx, sizeof rx, &rxLength, 12);
    EXPECT_EQ(Host().texts(), (std::vector<std::string>{"VpiK712: recv. SC Ack fail"}));
}

}  // namespace
}  // namespace plclink
