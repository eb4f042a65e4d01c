// The driver's station in a PPI token ring, on the scripted line and its
// virtual clock: joining, status replies, accepting and passing the token,
// gap polling, claiming a lost token, a duplicate address, and the work of a
// token visit.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "fdl/fdl_frames.h"
#include "fdl/ring_station.h"
#include "scripted_platform.h"
#include "serial/line_io.h"

namespace plclink {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Token(std::uint8_t to, std::uint8_t from) { return {kFdlSd4, to, from}; }

Bytes Sd1(std::uint8_t to, std::uint8_t from, std::uint8_t fc) {
    std::uint8_t frame[kSd1FrameLength];
    BuildSd1(to, from, fc, frame);
    return Bytes(frame, frame + kSd1FrameLength);
}

RingSettings Settings(std::uint8_t address, std::uint8_t hsa = 31, std::uint32_t gap = 10) {
    RingSettings settings;
    settings.enabled = true;
    settings.address = address;
    settings.hsa = hsa;
    settings.gapFactor = gap;
    return settings;
}

class RingStationTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        Platform().openPort("COM1", &line);
        os.port(line)->state.baudRate = 9600;
    }
    // The frames the station wrote, in order, from the first write on.
    std::vector<Bytes> Frames() const {
        std::vector<Bytes> frames;
        for (const auto& call : os.callsOf("writePort")) frames.push_back(call.data);
        return frames;
    }
    // The frames in short: "T2" a token to 2, "S2" a status request to 2,
    // "R2:20" a status reply 0x20 to 2.
    std::vector<std::string> Written() const {
        std::vector<std::string> out;
        for (const Bytes& f : Frames()) {
            char text[16] = "?";
            if (f.size() == kTokenLength) std::snprintf(text, sizeof text, "T%d", f[1]);
            else if (f.size() == kSd1FrameLength && f[3] == kFcStatusRequest)
                std::snprintf(text, sizeof text, "S%d", f[1]);
            else if (f.size() == kSd1FrameLength)
                std::snprintf(text, sizeof text, "R%d:%02X", f[1], f[3]);
            out.push_back(text);
        }
        return out;
    }
    void RunUntil(RingStation& station, std::uint64_t ms) {
        while (os.nowMs() < ms) station.Step();
    }
    bool Logged(const std::string& line) const {
        for (const std::string& t : testing::Host().texts())
            if (t == line) return true;
        return false;
    }
    // A master at 1 alone in its ring: `rotations` passes to itself, 10 ms apart from `at`.
    void RingOfOne(std::uint64_t at, int rotations) {
        for (int i = 0; i < rotations; ++i) os.deliver(Token(1, 1), at + 10 * i);
    }

    ScriptedPlatform os;
    LineHandle line = kNoLine;
};

TEST_F(RingStationTest, JoinsAfterTwoIdenticalRotationsReadyOnlyToItsPredecessor) {
    RingStation station(line, Settings(0), 9600, 1);
    RingOfOne(10, 2);
    os.deliver(Sd1(0, 1, kFcStatusRequest), 35);  // two passes heard: one rotation only
    RingOfOne(40, 1);
    os.deliver(Sd1(0, 5, kFcStatusRequest), 55);  // list valid, but 5 is not its predecessor
    os.deliver(Sd1(0, 1, kFcStatusRequest), 70);
    os.deliver(Token(0, 1), 85);
    // Once it holds the token it is in the ring, and says so to anyone asking.
    os.onWrite = [](ScriptedPlatform& p, const Bytes& frame) {
        if (frame == Token(1, 0)) p.deliver(Sd1(0, 1, kFcStatusRequest), 5);
    };
    RunUntil(station, 100);
    EXPECT_EQ(Written(), (std::vector<std::string>{"R1:10", "R5:10", "R1:20", "T1", "R1:30"}));
    EXPECT_TRUE(station.List().Valid());
    EXPECT_EQ(station.State(), RingStation::RingState::kInRing);
    EXPECT_TRUE(Logged("VpiK701: station 0 in the token ring (ring: 0 1)"));
}

TEST_F(RingStationTest, TakesTheTokenFromAnotherStationOnlyAtTheRepeatedPass) {
    RingStation station(line, Settings(0), 9600, 1);
    for (int i = 0; i < 3; ++i) {  // ring 1 -> 5 -> 1: the predecessor of 0 is 5
        os.deliver(Token(5, 1), 10 + 20 * i);
        os.deliver(Token(1, 5), 20 + 20 * i);
    }
    os.deliver(Token(0, 1), 75);
    RunUntil(station, 80);
    EXPECT_TRUE(station.List().Valid());
    EXPECT_TRUE(Written().empty());  // once from 1: not taken
    os.deliver(Token(0, 1), 5);
    station.Step();
    ASSERT_FALSE(Written().empty());
    EXPECT_EQ(Written()[0], "T1");  // passed again: taken, and passed on to its successor
}

TEST_F(RingStationTest, PassesThreeTimesThenDropsTheSilentSuccessor) {
    RingStation station(line, Settings(0, 31, 100), 9600, 1);
    RingOfOne(10, 3);
    os.deliver(Sd1(0, 1, kFcStatusRequest), 40);
    os.deliver(Token(0, 1), 50);
    RunUntil(station, 150);  // then 1 never answers
    const std::vector<std::string> written = Written();
    ASSERT_GE(written.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(written.begin(), written.begin() + 5),
              (std::vector<std::string>{"R1:20", "T1", "T1", "T1", "T0"}));
    EXPECT_TRUE(Logged("VpiK701: station 1 dropped from the token ring (no answer to 3 token passes)"));
    EXPECT_FALSE(station.List().IsActive(1));
    // Three passes are the whole wait: one slot time each after the pass.
    const auto writes = os.callsOf("writePort");
    EXPECT_LE(writes[4].atMs - writes[1].atMs, 3 * (station.Timing().slotMs + 1 + 4 + 4));
}

TEST_F(RingStationTest, ClaimsTheTokenAfterSixPlusTwiceItsAddressSlotTimesOfSilence) {
    for (const std::uint8_t address : {0, 3}) {
        SCOPED_TRACE(address);
        os.clearCalls();
        const std::uint64_t start = os.nowMs();
        RingStation station(line, Settings(address), 9600, 1);
        const std::uint32_t lost = station.Timing().lostTokenMs;
        EXPECT_EQ(lost, ((6 + 2 * address) * 100 * 1000 + 9599) / 9600);
        // Any frame on the line restarts the wait.
        os.deliver(Sd1(2, 7, 0x5C), lost - 10);
        RunUntil(station, start + 2 * lost - 20);
        EXPECT_TRUE(Written().empty());
        RunUntil(station, start + 2 * lost + 20);
        const std::vector<std::string> written = Written();
        ASSERT_GE(written.size(), 2u);
        char self[8];
        std::snprintf(self, sizeof self, "T%d", address);
        EXPECT_EQ(written[0], self);
        EXPECT_EQ(written[1], self);
        EXPECT_GE(os.callsOf("writePort")[0].atMs, start + 2 * lost - 10);
        EXPECT_EQ(station.State(), RingStation::RingState::kInRing);
    }
}

TEST_F(RingStationTest, PollsOneGapAddressPerVisitAndTheWholeGapEveryGapVisits) {
    RingStation station(line, Settings(0, 3, 4), 9600, 1);
    RunUntil(station, station.Timing().lostTokenMs + 1);  // alone: it claims the token
    // The claim (two tokens to itself) and the first visit, then eight more.
    for (int visit = 0; visit < 8; ++visit) station.Step();
    EXPECT_EQ(Written(), (std::vector<std::string>{"T0", "T0", "S1", "T0", "S2", "T0", "S3", "T0",
                                                   "T0", "S1", "T0", "S2", "T0", "S3", "T0", "T0",
                                                   "S1", "T0"}));
    // A master that answers "ready" gets the token next.
    os.clearCalls();
    os.onWrite = [](ScriptedPlatform& p, const Bytes& frame) {
        if (frame == Sd1(2, 0, kFcStatusRequest)) p.deliver(Sd1(0, 2, kMasterReady), 5);
    };
    station.Step();
    EXPECT_EQ(Written(), (std::vector<std::string>{"S2", "T2", "T2", "T2", "T0"}));
}

TEST_F(RingStationTest, ADuplicateAddressKeepsItOutOfTheRingAndFailsTheWork) {
    RingStation station(line, Settings(0), 9600, 1);
    os.deliver(Token(1, 0), 10);  // another station 0 passes the token
    os.deliver(Token(1, 0), 40);
    station.Step();
    EXPECT_EQ(station.State(), RingStation::RingState::kJoining);  // once may be noise
    station.Step();
    EXPECT_EQ(station.State(), RingStation::RingState::kDuplicate);
    bool ran = false;
    station.Queue(TokenVisitWork{[](void* r, const VisitTiming&) { *static_cast<bool*>(r) = true; return 0; }, &ran});
    RunUntil(station, 2000);  // long silence: no claim
    int result = 0;
    ASSERT_TRUE(station.TakeResult(&result));
    EXPECT_EQ(result, kVisitNotInRing);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(Written().empty());
    int lines = 0;
    for (const std::string& t : testing::Host().texts())
        lines += t.find("is in use by another station") != std::string::npos;
    EXPECT_EQ(lines, 1);
    char reason[96];
    station.DescribeNotInRing(reason, sizeof reason);
    EXPECT_STREQ(reason, "station address 0 is in use by another station");
}

// The work runs while the station holds the token, with the bus idle time as
// its pause and the slot time as its read time-out: a silent CPU costs one
// slot time, and the token goes on.
TEST_F(RingStationTest, TheWorkOfAVisitWaitsOneSlotTimeForSilence) {
    struct Seen {
        VisitTiming timing{};
        LineHandle line;
        std::uint64_t waitedMs = 0;
        bool holding = false;
    } seen{{}, line};
    RingStation station(line, Settings(0), 9600, 1);
    station.Queue(TokenVisitWork{[](void* s, const VisitTiming& timing) {
                                     auto& seen = *static_cast<Seen*>(s);
                                     seen.timing = timing;
                                     const std::uint64_t start = Platform().monotonicMs();
                                     std::uint8_t byte;
                                     std::uint32_t got = 0;
                                     ReadBytes(seen.line, &byte, 1, &got);
                                     seen.waitedMs = Platform().monotonicMs() - start;
                                     return 2;
                                 },
                                 &seen});
    RunUntil(station, station.Timing().lostTokenMs + 1);
    int result = 0;
    ASSERT_TRUE(station.TakeResult(&result));
    EXPECT_EQ(result, 2);
    EXPECT_EQ(seen.timing.idleMs, 4u);
    EXPECT_EQ(seen.timing.baud, 9600u);
    EXPECT_EQ(seen.timing.slotMs, 11u);
    EXPECT_EQ(seen.waitedMs, 11u);
    // The claim came first: the work ran while the station held the token.
    const auto writes = os.callsOf("writePort");
    ASSERT_GE(writes.size(), 2u);
    EXPECT_LE(writes[1].atMs, station.Timing().lostTokenMs + 12);
    station.Stop();
    station.Serve();
    EXPECT_TRUE(Logged("VpiK701: station 0 leaving the token ring"));
}

// A visit whose work stalled until another master claimed the lost token:
// the claim waits on the line after the work, and the station gives the
// token up without a gap poll or a pass, then hears the new ring.
TEST_F(RingStationTest, AFrameOfAnotherMasterAfterTheWorkMakesItGiveTheTokenUp) {
    RingStation station(line, Settings(0), 9600, 1);
    station.Queue(TokenVisitWork{[](void* p, const VisitTiming&) {
                                     auto& os = *static_cast<ScriptedPlatform*>(p);
                                     os.deliver(Token(1, 1), 5);  // master 1 claims meanwhile
                                     Platform().sleepMs(400);
                                     return 0;
                                 },
                                 &os});
    RunUntil(station, station.Timing().lostTokenMs + 1);  // claims, runs the work
    const std::size_t claim = Written().size();
    ASSERT_EQ(claim, 2u);  // its two claim tokens
    station.Step();
    station.Step();
    EXPECT_EQ(Written().size(), claim);  // no status request, no token
    EXPECT_TRUE(station.List().IsActive(1));
}

}  // namespace
}  // namespace plclink
