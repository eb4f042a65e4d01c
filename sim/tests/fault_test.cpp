// Fault rules: their syntax, when they fire, and what the stations then send.
#include <gtest/gtest.h>

#include "hex.h"
#include "ppisim/bus.h"
#include "ppisim/fault.h"

namespace ppisim {
namespace {

using testing::Hex;

const Bytes kReadVW100 =
    Hex("68 1B 1B 68 02 00 7C 32 01 00 00 00 00 00 0E 00 00 04 01 12 0A 10 04 00 01 00 01 84 00 03 20 9D 16");
const Bytes kWriteMB10 =
    Hex("68 20 20 68 02 00 7C 32 01 00 00 00 00 00 0E 00 05 05 01 12 0A 10 02 00 01 00 00 83 00 00 50 00 04 00 08 5A 32 16");
const Bytes kAssociate2 =
    Hex("68 15 15 68 02 00 6C 32 01 00 00 CC C1 00 04 00 00 F0 00 00 01 00 01 03 C0 E7 16");

Frame Parse(const Bytes& bytes) {
    FrameReader reader;
    reader.feed(bytes, 0);
    return *reader.next();
}

std::vector<FaultRule> Rules(std::initializer_list<const char*> specs) {
    std::vector<FaultRule> rules;
    for (const char* spec : specs) {
        auto rule = ParseFaultRule(spec);
        EXPECT_TRUE(rule) << spec;
        if (rule) rules.push_back(*rule);
    }
    return rules;
}

TEST(FaultRule, ParsesKindValueWhenAndStation) {
    auto rule = ParseFaultRule("refuse=0x05:next:3@4");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->kind, FaultKind::Refuse);
    EXPECT_EQ(rule->arg, 5u);
    EXPECT_EQ(rule->when, FaultWhen::Next);
    EXPECT_EQ(rule->remaining, 3u);
    EXPECT_EQ(rule->station, 4);
    rule = ParseFaultRule("badfcs:rate:0.25");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->when, FaultWhen::Rate);
    EXPECT_DOUBLE_EQ(rule->rate, 0.25);
    EXPECT_FALSE(rule->station);
    rule = ParseFaultRule("delay=0:always");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->arg, 0u);
}

TEST(FaultRule, RejectsMalformedRulesWithAReason) {
    for (const char* bad : {"", "silent", "silent:", "loud:always", "silent=3:always", "token:next:0",
                            "token:next:x", "badfcs:rate:1.5", "badfcs:rate:", "refuse=0xFF:always",
                            "garbage=0:always", "truncate=300:always", "delay=-1:always",
                            "silent:always@127", "silent:always@", "silent:sometimes"}) {
        std::string why;
        EXPECT_FALSE(ParseFaultRule(bad, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
}

TEST(FaultPlan, NextCountsOnlyTheRequestsItIsTriedOnAndTheFirstRuleDecides) {
    FaultPlan plan(Rules({"silent:next:1", "token:next:2", "delay=100:next:2", "refuse:always@3"}), 1);
    FaultDecision d = plan.decide(2, true);
    EXPECT_EQ(d.kind, FaultKind::Silent);
    EXPECT_EQ(d.delayMs, 100u);
    d = plan.decide(2, true);
    EXPECT_EQ(d.kind, FaultKind::Token);
    EXPECT_EQ(d.delayMs, 100u);
    EXPECT_EQ(plan.decide(2, true).kind, FaultKind::Token);
    d = plan.decide(2, true);
    EXPECT_FALSE(d.kind);
    EXPECT_EQ(d.delayMs, 0u);
    EXPECT_EQ(plan.decide(3, true).kind, FaultKind::Refuse);
    EXPECT_FALSE(plan.decide(3, false).kind);  // set-up is never refused
}

TEST(FaultPlan, RateDrawsFromTheSeedReproducibly) {
    auto run = [](std::uint32_t seed) {
        FaultPlan plan(Rules({"silent:rate:0.3"}), seed);
        std::string pattern;
        for (int i = 0; i < 200; ++i) pattern += plan.decide(2, true).kind ? 'x' : '.';
        return pattern;
    };
    const std::string a = run(42);
    EXPECT_EQ(a, run(42));
    EXPECT_NE(a, run(43));
    const auto hits = std::count(a.begin(), a.end(), 'x');
    EXPECT_GT(hits, 30);
    EXPECT_LT(hits, 90);
    FaultPlan never(Rules({"silent:rate:0"}), 1), ever(Rules({"silent:rate:1"}), 1);
    for (int i = 0; i < 50; ++i) {
        EXPECT_FALSE(never.decide(2, true).kind);
        EXPECT_TRUE(ever.decide(2, true).kind);
    }
}

class FaultyBus : public ::testing::Test {
protected:
    void Make(std::initializer_list<const char*> specs) {
        bus = std::make_unique<Bus>(FaultPlan(Rules(specs), 7));
        bus->addStation(2, AreaSizes{});
        bus->station(2)->memory().write(Area::V, 100, Hex("12 34"));
    }
    std::optional<Reply> Send(const Bytes& frame) { return bus->onFrame(Parse(frame)); }
    Bytes Poll() { return Send(Hex("10 02 00 5C 5E 16"))->bytes; }

    std::unique_ptr<Bus> bus;
};

TEST_F(FaultyBus, SilentTokenAndGarbageReplaceTheAcknowledgement) {
    Make({"silent:next:1", "token:next:1", "garbage=6:next:1", "delay=250:next:1"});
    auto reply = Send(kReadVW100);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->bytes.empty());
    EXPECT_EQ(reply->delayMs, 250u);
    EXPECT_EQ(Send(kReadVW100)->bytes, Hex("DC 00 02"));
    const Bytes noise = Send(kReadVW100)->bytes;
    ASSERT_EQ(noise.size(), 6u);
    for (std::uint8_t start : {kSC, kSD1, kSD2, kSD4}) EXPECT_NE(noise[0], start);
    // Nothing is pending after a faulted request; then normal service.
    EXPECT_EQ(Poll(), Bytes{kSC});
    EXPECT_EQ(Send(kReadVW100)->bytes, Bytes{kSC});
    EXPECT_EQ(Poll(), Hex("68 17 17 68 00 02 08 32 03 00 00 00 00 00 02 00 06 00 00 04 01 FF 04 00 10 12 34 A5 16"));
}

TEST_F(FaultyBus, BadChecksumAndTruncationSpoilTheResponse) {
    Make({"badfcs:next:1", "truncate:next:1", "truncate=3:next:1"});
    const Bytes good = Hex("68 17 17 68 00 02 08 32 03 00 00 00 00 00 02 00 06 00 00 04 01 FF 04 00 10 12 34 A5 16");
    EXPECT_EQ(Send(kReadVW100)->bytes, Bytes{kSC});
    Bytes bad = Poll();
    ASSERT_EQ(bad.size(), good.size());
    EXPECT_NE(bad[bad.size() - 2], good[good.size() - 2]);
    bad[bad.size() - 2] = good[good.size() - 2];
    EXPECT_EQ(bad, good);
    Send(kReadVW100);
    EXPECT_EQ(Poll(), Bytes(good.begin(), good.begin() + good.size() / 2));
    Send(kReadVW100);
    EXPECT_EQ(Poll(), Bytes(good.begin(), good.begin() + 3));
}

TEST_F(FaultyBus, RefusalWritesNothingAndSpareSetUp) {
    Make({"refuse:next:1", "refuse=0x05:always"});
    Send(kAssociate2);
    EXPECT_EQ(Poll()[14], 0x08);  // par_lg of a set-up answer: not refused
    Send(kWriteMB10);
    EXPECT_EQ(Poll(), Hex("68 12 12 68 00 02 08 32 03 00 00 00 00 00 02 00 01 00 00 05 01 0A 52 16"));
    EXPECT_EQ(bus->station(2)->memory().bytes(Area::M)[10], 0);
    Send(kReadVW100);
    const Bytes refused = Poll();
    EXPECT_EQ(refused[16], 0x04);  // dat_lg: result, type and length, no values
    EXPECT_EQ(refused[21], 0x05);
}

}  // namespace
}  // namespace ppisim
