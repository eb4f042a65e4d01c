// The shared bus on a virtual clock: simulated masters forming and keeping a
// ring, losing a member, admitting an outside master that joins by the
// rules, and the line's accounting of what the outside master does out of
// turn.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "hex.h"
#include "ppisim/fdl.h"
#include "ppisim/token_bus.h"

namespace ppisim {
namespace {

using testing::Hex;

constexpr std::int64_t kSecond = 1000000;

// The bus with CPU station 2 and the masters given, run on a virtual clock.
// An outside master can be scripted: it sees every frame the simulator puts
// on the line and may answer after the bus idle time.
class Rig {
public:
    using Outside = std::function<std::optional<Bytes>(const Frame&)>;

    Rig() : trace_(&log_), bus_(stations_, params_, trace_) { stations_.addStation(2, AreaSizes{}); }
    TokenBus& bus() { return bus_; }
    std::string log() const { return log_.str(); }
    void addMaster(MasterConfig config) {
        if (config.station == 0) config.station = 2;
        std::string why;
        ASSERT_TRUE(bus_.addMaster(config, &why)) << why;
    }
    void setOutside(Outside outside) { outside_ = std::move(outside); }
    const BusParams& params() const { return params_; }

    // Runs the line until `untilUs`.
    void runUntil(std::int64_t untilUs) {
        while (true) {
            std::int64_t t = std::min(bus_.nextEventUs(), replyAtUs_);
            if (t > untilUs) break;
            if (t == replyAtUs_) {
                replyAtUs_ = kNeverUs;
                FrameReader one;
                one.feed(reply_, t);
                bus_.outsideFrame(*one.next(), t);
                continue;
            }
            bus_.advance(t);
            const Bytes bytes = bus_.takeBytes(t);
            reader_.feed(bytes, t);
            while (auto frame = reader_.next()) {
                if (!outside_) continue;
                if (auto answer = outside_(*frame)) {
                    reply_ = *answer;
                    replyAtUs_ = t + params_.idleUs();
                }
            }
        }
        bus_.advance(untilUs);
    }
    // Sends `bytes` from the outside master at `atUs`.
    void sendAt(std::int64_t atUs, const Bytes& bytes) {
        runUntil(atUs);
        FrameReader one;
        one.feed(bytes, atUs);
        bus_.outsideFrame(*one.next(), atUs);
    }

private:
    std::ostringstream log_;
    Trace trace_;
    Bus stations_;
    BusParams params_;
    TokenBus bus_;
    FrameReader reader_;
    Outside outside_;
    Bytes reply_;
    std::int64_t replyAtUs_ = kNeverUs;
};

const SimMaster& Master(TokenBus& bus, std::size_t index) { return *bus.masters().at(index); }

TEST(TokenBusTest, OneMasterRingsAloneAndDoesItsJobAtEveryVisit) {
    Rig rig;
    rig.addMaster({.address = 1});
    rig.runUntil(10 * kSecond);
    const MasterStats& s = Master(rig.bus(), 0).stats();
    EXPECT_GT(s.visits, 20u);
    EXPECT_GE(s.jobsDone + 1, s.visits);  // the last job may still be under way
    EXPECT_EQ(s.jobsFailed, 0u);
    EXPECT_EQ(rig.bus().totals().collisions, 0u);
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1}));
    const std::string log = rig.log();
    EXPECT_NE(log.find("-- master 1: token lost, claims it"), std::string::npos);
    EXPECT_NE(log.find("-- token 1 -> 1"), std::string::npos);
    EXPECT_NE(log.find("-- ring: 1\n"), std::string::npos);
    EXPECT_NE(log.find("-- status 2 -> 1: slave (0x00)"), std::string::npos);
    EXPECT_NE(log.find("-- station 2: read V0.0 ts02 x4"), std::string::npos);
    // Every address of the gap is polled, one per visit: 0 and 3..31 too.
    EXPECT_NE(log.find("-- status request 1 -> 31"), std::string::npos);
    EXPECT_NE(log.find("-- status request 1 -> 0"), std::string::npos);
}

TEST(TokenBusTest, TwoMastersFormARingAndKeepIt) {
    Rig rig;
    rig.addMaster({.address = 1});
    rig.addMaster({.address = 3, .length = 1});
    rig.runUntil(3 * kSecond);
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1, 3}));
    rig.runUntil(20 * kSecond);
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1, 3}));
    for (std::size_t i = 0; i < 2; ++i) {
        const MasterStats& s = Master(rig.bus(), i).stats();
        EXPECT_GT(s.jobsDone, 30u) << i;
        EXPECT_EQ(s.jobsFailed, 0u) << i;
        EXPECT_GT(s.rotationSumUs, 0) << i;
    }
    EXPECT_EQ(rig.bus().totals().collisions, 0u);
    EXPECT_NE(rig.log().find("-- master 1: admits station 3 to the ring"), std::string::npos);
    EXPECT_NE(rig.log().find("master ready to enter the ring (0x20)"), std::string::npos);
}

TEST(TokenBusTest, ASilentMasterIsDroppedAndTheOtherGoesOnAlone) {
    for (double silentAt : {4.0, 4.1, 4.2, 4.3}) {  // wherever its turn is
        Rig rig;
        rig.addMaster({.address = 1});
        rig.addMaster({.address = 3, .silentAfterS = silentAt});
        rig.runUntil(4 * kSecond);
        ASSERT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1, 3}));
        rig.runUntil(6 * kSecond);
        const std::uint64_t done = Master(rig.bus(), 0).stats().jobsDone;
        rig.runUntil(10 * kSecond);
        EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1})) << silentAt;
        EXPECT_GT(Master(rig.bus(), 0).stats().jobsDone, done + 20) << silentAt;
        EXPECT_NE(rig.log().find("-- master 1: drops station 3 after 3 passes"), std::string::npos) << silentAt;
    }
}

TEST(TokenBusTest, AMasterThatTakesTheTokenAtTheSecondPassStaysInTheRing) {
    Rig rig;
    rig.addMaster({.address = 1});
    rig.addMaster({.address = 3, .lateToken = true});
    rig.runUntil(10 * kSecond);
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1, 3}));
    EXPECT_GT(Master(rig.bus(), 1).stats().jobsDone, 10u);
    EXPECT_EQ(rig.log().find("drops station 3"), std::string::npos);
}

TEST(TokenBusTest, NoiseInPlaceOfATokenIsPassedAgain) {
    Rig rig;
    rig.addMaster({.address = 1, .garble = 0.3});
    rig.addMaster({.address = 3});
    rig.runUntil(10 * kSecond);
    EXPECT_NE(rig.log().find("the token comes out as noise"), std::string::npos);
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1, 3}));
    EXPECT_EQ(Master(rig.bus(), 1).stats().jobsFailed, 0u);
}

TEST(TokenBusTest, AMasterThatHearsItsOwnAddressStaysOutOfTheRing) {
    // At the address of the CPU, and at that of another master.
    for (std::uint8_t twin : {2, 1}) {
        Rig rig;
        rig.addMaster({.address = 1});
        rig.addMaster({.address = twin, .duplicate = true});
        rig.runUntil(10 * kSecond);
        EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1})) << int{twin};
        EXPECT_FALSE(Master(rig.bus(), 1).inRing());
        EXPECT_EQ(Master(rig.bus(), 0).stats().jobsFailed, 0u);
        EXPECT_NE(rig.log().find("is on the line as well (duplicate address); does not join the ring"),
                  std::string::npos);
    }
    // A master in the ring leaves it when another station sends with its
    // address: here the outside master at 0 that the simulated 0 admitted 1 beside.
    Rig rig;
    rig.addMaster({.address = 0, .duplicate = true});
    rig.addMaster({.address = 1});
    rig.runUntil(10 * kSecond);
    ASSERT_EQ(rig.bus().ring(), std::set<std::uint8_t>({0, 1}));
    // A reply, in turn anywhere; some may collide, one is enough.
    for (int i = 0; i < 5; ++i) rig.sendAt(10 * kSecond + i * 97000, EncodeSD1(1, 0, kStatusMasterNotReady));
    rig.runUntil(13 * kSecond);
    EXPECT_NE(rig.log().find("-- master 0: station 0 is on the line as well (duplicate address); leaves the ring"),
              std::string::npos);
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({1}));
}

// An outside master at 0 that joins by the rules: "ready" when asked, then
// it takes the token, does nothing with it and passes it on to 1.
TEST(TokenBusTest, AnOutsideMasterThatJoinsByTheRulesIsAdmittedAndServed) {
    Rig rig;
    rig.addMaster({.address = 1});
    rig.addMaster({.address = 3});
    bool asked = false;
    rig.setOutside([&](const Frame& f) -> std::optional<Bytes> {
        if (IsStatusRequest(f) && f.da == 0) {
            asked = true;
            return EncodeSD1(f.sa, 0, kStatusMasterReady);
        }
        if (f.kind == FrameKind::SD4 && f.da == 0) return EncodeSD4(1, 0);
        return std::nullopt;
    });
    rig.runUntil(30 * kSecond);
    EXPECT_TRUE(asked);
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({0, 1, 3}));
    EXPECT_NE(rig.log().find("-- master 3: admits station 0 to the ring"), std::string::npos);
    EXPECT_NE(rig.log().find("-- token 0 -> 1"), std::string::npos);
    EXPECT_EQ(rig.bus().totals().outOfTurn, 0u);
    EXPECT_EQ(rig.bus().totals().collisions, 0u);
    EXPECT_EQ(Master(rig.bus(), 0).stats().jobsFailed, 0u);
}

TEST(TokenBusTest, AnOutsideMasterThatTalksOutOfTurnCollides) {
    Rig rig;
    rig.addMaster({.address = 1});
    rig.runUntil(1 * kSecond);
    const Bytes poll = Hex("10 02 00 5C 5E 16");
    // Out of turn and, at some moments, on top of the master's frames.
    for (int i = 0; i < 20; ++i) rig.sendAt(1 * kSecond + i * 37000, poll);
    rig.runUntil(3 * kSecond);
    const LineTotals& totals = rig.bus().totals();
    EXPECT_EQ(totals.outOfTurn, 20u);
    EXPECT_GT(totals.collisions, 10u);
    EXPECT_GT(Master(rig.bus(), 0).stats().jobsFailed, 0u);
    EXPECT_NE(rig.log().find("-- out of turn: the outside master's frame to 2 while station 1 holds the token"),
              std::string::npos);
    EXPECT_NE(rig.log().find("-- collision: "), std::string::npos);
    // The ring survives it.
    const std::uint64_t done = Master(rig.bus(), 0).stats().jobsDone;
    rig.runUntil(5 * kSecond);
    EXPECT_GT(Master(rig.bus(), 0).stats().jobsDone, done + 10);
}

TEST(TokenBusTest, AnOutsideMasterMayClaimATokenLostWithItsHolder) {
    Rig rig;
    rig.addMaster({.address = 1, .silentAfterS = 1.0});
    rig.runUntil(1 * kSecond);
    rig.sendAt(1 * kSecond + 10000, EncodeSD4(0, 0));  // too soon: 1 may still hold it
    rig.sendAt(2 * kSecond, EncodeSD4(0, 0));          // after 6 slot times of silence
    rig.sendAt(2 * kSecond + 10000, EncodeSD4(0, 0));
    rig.runUntil(3 * kSecond);
    EXPECT_EQ(rig.bus().totals().outOfTurn, 1u);
    EXPECT_EQ(rig.bus().holder(), std::optional<std::uint8_t>(0));
    EXPECT_EQ(rig.bus().ring(), std::set<std::uint8_t>({0}));
}

TEST(TokenBusTest, AFrameRightAfterAnotherBreaksTheBusIdleRule) {
    Rig rig;  // no masters: the outside master alone, in turn
    const Bytes read = EncodeSD2(2, 0, 0x6C, EncodeReadJob(1, Area::V, 0, 2));
    rig.sendAt(0, read);
    // The SC comes the idle time after the request; a poll 1 ms after it is too soon.
    const std::int64_t scEnd = rig.params().lineUs(read.size()) + rig.params().idleUs() + rig.params().lineUs(1);
    rig.sendAt(scEnd + 1000, Hex("10 02 00 5C 5E 16"));
    rig.runUntil(kSecond);
    EXPECT_EQ(rig.bus().totals().idleViolations, 1u);
    EXPECT_NE(rig.log().find("-- bus idle violated (9 bit times)"), std::string::npos);
    EXPECT_NE(rig.log().find("poll, response"), std::string::npos);  // served all the same
}

TEST(TokenBusTest, ACpuServingOneMasterHasNoResourceForAnother) {
    Bus bus;
    bus.addStation(2, AreaSizes{});
    auto parse = [](const Bytes& bytes) {
        FrameReader reader;
        reader.feed(bytes, 0);
        return *reader.next();
    };
    const Bytes job = EncodeReadJob(7, Area::V, 0, 1);
    EXPECT_EQ(bus.onFrame(parse(EncodeSD2(2, 1, 0x6C, job)), 0)->bytes, Bytes{kSC});
    EXPECT_EQ(bus.onFrame(parse(EncodeSD2(2, 0, 0x6C, job)), 1000)->bytes, EncodeSD1(0, 2, kFcNoResource));
    EXPECT_EQ(bus.onFrame(parse(EncodeSD1(2, 1, 0x5C)), 2000)->bytes.size(), 28u);  // master 1's answer
    EXPECT_EQ(bus.onFrame(parse(EncodeSD2(2, 0, 0x6C, job)), 3000)->bytes, Bytes{kSC});
    // An answer its master never fetches frees the resource after a while.
    EXPECT_EQ(bus.onFrame(parse(EncodeSD2(2, 1, 0x6C, job)), 10 * kServeHoldUs)->bytes, Bytes{kSC});
    // A status request is answered as a slave.
    EXPECT_EQ(bus.onFrame(parse(Hex("10 02 00 49 4B 16")), 0)->bytes, Hex("10 00 02 00 02 16"));
}

}  // namespace
}  // namespace ppisim
