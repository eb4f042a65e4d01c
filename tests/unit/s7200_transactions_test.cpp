// The association, read and write transactions against a scripted station:
// attempts, associations, results, log lines and waits on the virtual clock.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "scripted_platform.h"
#include "ppi/s7200_transactions.h"
#include "s7200_peer.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

using testing::Host;
using Answer = testing::S7200Peer::Answer;
using Lines = std::vector<std::string>;
using testing::Bytes;

class TransactionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Host().reset();
        side.tag('V', 16, 100);  // elementIndex holds the byte address here
        peer.area('V')[100] = 0x12;
        peer.area('V')[101] = 0x34;
    }
    std::uint16_t Slot() const {
        std::uint16_t v;
        std::memcpy(&v, side.buffer + 2, 2);
        return v;
    }
    int Read(std::int32_t count = 1) { return S7200Read(&side.block, count); }
    int Write(std::int32_t count = 1) { return S7200Write(&side.block, count); }
    // Start times of the SD2 frames sent (requests and associations).
    std::vector<std::uint64_t> RequestTimes() const {
        std::vector<std::uint64_t> out;
        for (const auto& c : platform.callsOf("writePort"))
            if (!c.data.empty() && c.data[0] == 0x68) out.push_back(c.atMs);
        return out;
    }

    ScriptedPlatform platform;
    testing::DriverSide side{platform};
    testing::S7200Peer peer{platform, 2};
};

TEST_F(TransactionsTest, AnsweringStationTakesOneExchange) {
    ASSERT_EQ(Read(), 0);
    EXPECT_EQ(Slot(), 0x1234);
    EXPECT_EQ(peer.requests.size(), 1u);
    EXPECT_EQ(peer.polls, 1);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_TRUE(Host().log.empty());

    side.buffer[2] = 0xCD;
    side.buffer[3] = 0xAB;
    ASSERT_EQ(Write(), 0);
    EXPECT_EQ(peer.area('V')[100], 0xAB);
    EXPECT_EQ(peer.area('V')[101], 0xCD);
    EXPECT_TRUE(Host().log.empty());
}

TEST_F(TransactionsTest, SilentStationCostsThreeTimeOutsAndGivesTwo) {
    peer.otherwise = Answer::kSilent;
    EXPECT_EQ(Read(), 2);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: recv. SC Ack fail")));
    // Each attempt: 40 ms pause, 1 ms RTS lead, one 1000 ms read time-out.
    EXPECT_EQ(platform.nowMs(), 3u * 1041u);
    EXPECT_EQ(RequestTimes(), (std::vector<std::uint64_t>{41, 1082, 2123}));
    EXPECT_EQ(Slot(), 0);

    Host().reset();
    EXPECT_EQ(Write(), 2);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: recv. SC Ack fail")));
}

TEST_F(TransactionsTest, TokenAnswerLeadsToAssociationThenTheRequestAgain) {
    peer.next({Answer::kToken});
    ASSERT_EQ(Read(), 0);
    EXPECT_EQ(Slot(), 0x1234);
    ASSERT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(peer.requests[0][6], 0x7C);
    EXPECT_EQ(peer.requests[1][6], 0x6C);  // the association
    // The request again, under the next reference.
    EXPECT_EQ(testing::ReferenceOf(peer.requests[2]), testing::ReferenceOf(peer.requests[0]) + 1);
    EXPECT_EQ(Bytes(peer.requests[2].begin() + 13, peer.requests[2].end() - 2),
              Bytes(peer.requests[0].begin() + 13, peer.requests[0].end() - 2));
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: recv SD4 after SD2 message (pass Token)",
                                     "S7200EstablishAssociation()"}));
    const auto times = RequestTimes();
    EXPECT_EQ(times[1] - times[0], 3000u + 40u + 1u);
    EXPECT_EQ(platform.pendingBytes(), 0u);
}

TEST_F(TransactionsTest, RefusedAccessIsRetriedWithoutAssociation) {
    peer.otherwise = Answer::kRefuse;
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: Check Responed FAIL (access_result: 0a)")));
    EXPECT_EQ(Slot(), 0);

    Host().reset();
    peer.refusal = 0x05;
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: Check Responed FAIL (access_result: 05)")));
}

TEST_F(TransactionsTest, CorruptedChecksumIsRetriedAndNeverStored) {
    peer.next({Answer::kCorruptFcs});
    ASSERT_EQ(Read(), 0);
    EXPECT_EQ(peer.requests.size(), 2u);
    EXPECT_EQ(Host().texts(), Lines{"VpiK701: Check Responed FAIL (FCS)"});

    Host().reset();
    peer.otherwise = Answer::kCorruptFcs;
    side.buffer[2] = side.buffer[3] = 0;
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(Slot(), 0);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: Check Responed FAIL (FCS)")));
}

TEST_F(TransactionsTest, AnswerToAnotherRequestIsRefusedAndNeverStored) {
    std::memset(side.buffer, 0xEE, sizeof side.buffer);
    peer.otherwise = Answer::kMismatch;
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: Check Responed FAIL (function 5, expected 4)")));
    for (std::uint8_t b : side.buffer) ASSERT_EQ(b, 0xEE);

    // A write answered with a read response is not reported written.
    Host().reset();
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: Check Responed FAIL (function 4, expected 5)")));

    // A late answer: the word read's response arrives for a double-word
    // read; its reference is the earlier request's.
    Host().reset();
    peer.area('V')[100] = 0x12;  // the refused write went through at the station
    peer.area('V')[101] = 0x34;
    peer.otherwise = Answer::kNormal;
    ASSERT_EQ(Read(), 0);
    side.tag('V', 32, 100);
    peer.next({Answer::kLate});
    std::memset(side.buffer, 0xEE, sizeof side.buffer);
    ASSERT_EQ(Read(), 0);  // the second attempt gets its own answer
    EXPECT_EQ(Host().texts(), Lines{"VpiK701: Check Responed FAIL (reference 0007, expected 0008)"});
    std::uint32_t value;
    std::memcpy(&value, side.buffer, 4);
    EXPECT_EQ(value, 0x12340000u);

    // Nothing but late answers: never stored.
    peer.otherwise = Answer::kLate;
    std::memset(side.buffer, 0xEE, sizeof side.buffer);
    EXPECT_EQ(Read(), 1);
    for (std::uint8_t b : side.buffer) ASSERT_EQ(b, 0xEE);
}

// A busy station (SD1 "no resource" in place of the SC, or SC to every
// poll) is retried like silence, without association, and the read ends
// with one line that says so, within the attempts' own time.
TEST_F(TransactionsTest, BusyStationIsRetriedWithoutAssociationAndSaysSo) {
    peer.otherwise = Answer::kNoResource;
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_EQ(Host().texts(), Lines{"VpiK701: station 2 busy (no resource)"});
    EXPECT_EQ(Slot(), 0);
    // Each attempt: pause, RTS lead, the SD1 at once.
    EXPECT_EQ(platform.nowMs(), 3u * 41u);

    Host().reset();
    const std::uint64_t start = platform.nowMs();
    peer.otherwise = Answer::kBusy;
    side.buffer[2] = 0x99;
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(peer.area('V')[100], 0x12);  // nothing written
    EXPECT_EQ(peer.polls, 3);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_EQ(Host().texts(), Lines{"VpiK701: station 2 busy (SC to the poll)"});
    EXPECT_EQ(platform.nowMs() - start, 3u * 2u * 41u);

    // Busy for two attempts, then served: no line at all.
    Host().reset();
    peer.otherwise = Answer::kNormal;
    side.buffer[2] = 0;
    peer.next({Answer::kBusy, Answer::kNoResource});
    ASSERT_EQ(Read(), 0);
    EXPECT_EQ(Slot(), 0x1234);
    EXPECT_TRUE(Host().log.empty());

    // A busy answer to the association ends it at once; the read goes on.
    peer.next({Answer::kToken, Answer::kNoResource});
    ASSERT_EQ(Read(), 0);
    EXPECT_EQ(peer.associations, 0);  // a busy station carries none out
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: recv SD4 after SD2 message (pass Token)",
                                     "S7200EstablishAssociation()"}));
}

// A flooding line at a 200 ms read time-out: each attempt gives up after
// one time-out of purging, no request goes out, the read fails as a link
// failure within a second and stores nothing.
TEST_F(TransactionsTest, FloodingLineFailsWithinTheAttemptsBound) {
    SetReadTimeout(side.line, 20);
    for (std::uint64_t at = 0; at < 5000; at += 40) platform.deliver(testing::Bytes(300, 0x55), at);
    EXPECT_EQ(Read(), 2);
    EXPECT_TRUE(peer.requests.empty());
    EXPECT_EQ(peer.associations, 0);
    Lines expected;
    for (int i = 0; i < 3; ++i) {
        expected.push_back("PurgeInput() FAIL (the line kept sending for 200 ms)");
        expected.push_back("VpiK701: Send SD2 fail");
    }
    EXPECT_EQ(Host().texts(), expected);
    EXPECT_LE(platform.nowMs(), 3u * (40u + 200u + 50u));
    EXPECT_EQ(Slot(), 0);
}

TEST_F(TransactionsTest, DirectResponseServesLikeAPolledOne) {
    peer.otherwise = Answer::kDirect;
    ASSERT_EQ(Read(), 0);
    EXPECT_EQ(Slot(), 0x1234);
    EXPECT_EQ(peer.polls, 0);
}

TEST_F(TransactionsTest, UnbuildableRequestSendsNothing) {
    side.tag('D', 16, 0);
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(Write(), 1);
    EXPECT_TRUE(platform.callsOf("writePort").empty());
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: SetS7200RdReq() wrong memArea 'D' size: 16",
                                     "S7200Read() SetS7200RdReq FAIL",
                                     "VpiK701: SetS7200WrReq() worng memArea 'D' size: 16",
                                     "invalid failed blockParser S7200Write() SetS7200WrReq FAIL"}));
    for (const auto& line : Host().log) EXPECT_EQ(line.category, 32);
}

TEST_F(TransactionsTest, AssociationMeetingSilenceEndsTheReadAtOnce) {
    peer.next({Answer::kToken});
    peer.otherwise = Answer::kSilent;
    EXPECT_EQ(Read(), 2);
    EXPECT_EQ(peer.requests.size(), 4u);  // the read, then three associations
    EXPECT_EQ(peer.associations, 3);
    const Lines expected{"VpiK701: recv SD4 after SD2 message (pass Token)",
                         "S7200EstablishAssociation()",
                         "VpiK701: recv. SC Ack fail",
                         "VpiK701: recv. SC Ack fail",
                         "VpiK701: recv. SC Ack fail",
                         "S7200Read() S7200EstablishAssociation() rc = 2"};
    EXPECT_EQ(Host().texts(), expected);
    // 3000 ms before each association attempt.
    const auto times = RequestTimes();
    EXPECT_EQ(times[1] - times[0], 3000u + 40u + 1u);
    EXPECT_EQ(times[2] - times[1], 1000u + 3000u + 40u + 1u);

    Host().reset();
    peer.next({Answer::kGarbage});
    EXPECT_EQ(Write(), 2);
    EXPECT_EQ(Host().texts().back(), "S7200Write() S7200EstablishAssociation() rc = 2");
}

TEST_F(TransactionsTest, BrokenFrameWithBrokenAssociationKeepsTrying) {
    // Every request and every association answered with a token: three
    // reads, each followed by three association attempts.
    peer.otherwise = Answer::kToken;
    EXPECT_EQ(Read(), 2);
    EXPECT_EQ(peer.requests.size(), 12u);
    EXPECT_EQ(peer.associations, 9);
    const Lines texts = Host().texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "S7200Read() S7200EstablishAssociation() rc = 1"), 3);
    EXPECT_GE(platform.nowMs(), 27000u);
}

TEST_F(TransactionsTest, AssociationAfterTheLastAttemptGivesOne) {
    peer.next({Answer::kRefuse, Answer::kRefuse, Answer::kToken});
    EXPECT_EQ(Read(), 1);
    EXPECT_EQ(peer.associations, 1);
    EXPECT_EQ(peer.requests.size(), 4u);  // not sent a fourth time
    EXPECT_EQ(Host().texts().back(), "S7200EstablishAssociation()");
    EXPECT_EQ(Slot(), 0);
}

TEST_F(TransactionsTest, EstablishAssociationResults) {
    EXPECT_EQ(S7200EstablishAssociation(&side.block), 0);
    EXPECT_EQ(platform.callsOf("sleep").front().args[0], 3000u);
    EXPECT_EQ(Host().texts(), Lines{"S7200EstablishAssociation()"});

    Host().reset();
    peer.next({Answer::kSilent, Answer::kSilent, Answer::kRefuse});
    EXPECT_EQ(S7200EstablishAssociation(&side.block), 1);

    Host().reset();
    peer.next({Answer::kToken, Answer::kRefuse, Answer::kSilent});
    EXPECT_EQ(S7200EstablishAssociation(&side.block), 2);
    EXPECT_EQ(Host().texts(), (Lines{"S7200EstablishAssociation()",
                                     "VpiK701: recv SD4 after SD2 message (pass Token)",
                                     "VpiK701: Check Responed FAIL (num_of_vars != 1)",
                                     "VpiK701: recv. SC Ack fail"}));

    Host().reset();
    peer.next({Answer::kSilent, Answer::kToken});
    EXPECT_EQ(S7200EstablishAssociation(&side.block), 0);
    EXPECT_EQ(peer.associations, 1 + 3 + 3 + 3);
}

}  // namespace
}  // namespace plclink
