// Fault rules: their syntax, when they fire, and what the stations then send.
#include <gtest/gtest.h>

#include "hex.h"
#include "ppisim/bus.h"
#include "ppisim/fault.h"

namespace ppisim {
namespace {

using testing::Hex;
using testing::ToHex;

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
    rule = ParseFaultRule("trickle=900:next:2");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->kind, FaultKind::Trickle);
    EXPECT_EQ(rule->arg, 900u);
    rule = ParseFaultRule("flood:always");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->kind, FaultKind::Flood);
    EXPECT_FALSE(rule->arg);  // without end
    for (const char* kind : {"mismatch", "late"}) {
        rule = ParseFaultRule(std::string(kind) + ":rate:0.5");
        ASSERT_TRUE(rule) << kind;
        EXPECT_STREQ(NameOf(rule->kind), kind);
    }
}

TEST(FaultRule, RejectsMalformedRulesWithAReason) {
    for (const char* bad : {"", "silent", "silent:", "loud:always", "silent=3:always", "token:next:0",
                            "token:next:x", "badfcs:rate:1.5", "badfcs:rate:", "refuse=0xFF:always",
                            "garbage=0:always", "truncate=300:always", "delay=-1:always",
                            "silent:always@127", "silent:always@", "silent:sometimes", "mismatch=2:always",
                            "late=1:always", "flood=0:always", "trickle=0:always", "trickle=x:always"}) {
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

    // Wrong and late answers, like refusals, leave set-up alone; flood and
    // trickle do not.
    FaultPlan answers(Rules({"mismatch:always@2", "late:always@3", "flood:always@4", "trickle:always@5"}), 1);
    EXPECT_FALSE(answers.decide(2, false).kind);
    EXPECT_FALSE(answers.decide(3, false).kind);
    EXPECT_EQ(answers.decide(4, false).kind, FaultKind::Flood);
    EXPECT_EQ(answers.decide(5, false).kind, FaultKind::Trickle);
    EXPECT_EQ(answers.decide(2, true).kind, FaultKind::Mismatch);
    EXPECT_EQ(answers.decide(3, true).kind, FaultKind::Late);
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

TEST_F(FaultyBus, BadChecksumTruncationAndDropSpoilTheResponse) {
    Make({"badfcs:next:1", "truncate:next:1", "truncate=3:next:1", "drop=5:next:1"});
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
    // A drop cuts the response and then ends the connection, once.
    EXPECT_FALSE(Send(kReadVW100)->hangUp);
    auto cut = Send(Hex("10 02 00 5C 5E 16"));
    EXPECT_EQ(cut->bytes, Bytes(good.begin(), good.begin() + 5));
    EXPECT_TRUE(cut->hangUp);
    Send(kReadVW100);
    cut = Send(Hex("10 02 00 5C 5E 16"));
    EXPECT_EQ(cut->bytes, good);
    EXPECT_FALSE(cut->hangUp);
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

// The S7 message of a response frame: what lies between FC and FCS.
Bytes MessageOf(const Bytes& frame) { return Bytes(frame.begin() + 7, frame.end() - 2); }

TEST_F(FaultyBus, MismatchAnswersWithAnotherFunctionOrAnotherSizeAndStillCarriesTheJobOut) {
    Make({"mismatch:next:40"});
    const Bytes readAnswer = Hex("32 03 00 00 00 00 00 02 00 06 00 00 04 01 FF 04 00 10 12 34");
    const Bytes writeAnswer = Hex("32 03 00 00 00 00 00 02 00 01 00 00 05 01 FF");
    bool otherFunction[2] = {}, otherSize[2] = {};
    for (int i = 0; i < 40; ++i) {
        const bool write = i % 2;
        EXPECT_EQ(Send(write ? kWriteMB10 : kReadVW100)->bytes, Bytes{kSC});
        const Bytes response = Poll();
        ASSERT_GE(response.size(), 7u + 15u + 2u);
        // A sound frame from station 2 to the master, only its content is wrong.
        EXPECT_EQ(response[1], response.size() - 6);
        EXPECT_EQ(Bytes(response.begin() + 2, response.begin() + 7),
                  Bytes({response[1], kSD2, 0x00, 0x02, kFcResponseData}));
        const Bytes message = MessageOf(response);
        EXPECT_NE(message, write ? writeAnswer : readAnswer);
        if (message[12] != (write ? kFunctionWrite : kFunctionRead)) {
            otherFunction[write] = true;
        } else {
            otherSize[write] = true;
            // par_lg 2, then dat_lg: another size than the request's.
            EXPECT_NE(message[9], write ? 0x01 : 0x06) << ToHex(message);
        }
    }
    EXPECT_TRUE(otherFunction[0] && otherFunction[1] && otherSize[0] && otherSize[1]);
    EXPECT_EQ(bus->station(2)->memory().bytes(Area::M)[10], 0x5A);  // the write was carried out
}

TEST_F(FaultyBus, LateHandsOutThePreviousAnswerAndKeepsThisOneForTheNext) {
    Make({"late:next:2"});
    // Nothing answered yet: SC, and the poll finds nothing.
    EXPECT_EQ(Send(kWriteMB10)->bytes, Bytes{kSC});
    EXPECT_EQ(Poll(), Bytes{kSC});
    EXPECT_EQ(bus->station(2)->memory().bytes(Area::M)[10], 0x5A);
    // The read gets the write's answer under the write's reference, and the
    // trace says whose it is.
    Bytes read = kReadVW100;
    read[12] = 0x07;
    read[31] = static_cast<std::uint8_t>(read[31] + 7);
    EXPECT_EQ(Send(read)->note,
              "station 2: read V100.0 ts04 x1, ref 0007; fault late (answer of: write M10.0 ts02 x1)");
    EXPECT_EQ(MessageOf(Poll()), Hex("32 03 00 00 00 00 00 02 00 01 00 00 05 01 FF"));
    // The next request, answered in time, still gets its own answer.
    Send(kReadVW100);
    EXPECT_EQ(MessageOf(Poll()), Hex("32 03 00 00 00 00 00 02 00 06 00 00 04 01 FF 04 00 10 12 34"));
}

TEST_F(FaultyBus, FloodReplacesTheAnswerAndTrickleMarksBothSteps) {
    Make({"flood=250:next:1", "flood:next:1", "trickle=40:next:1"});
    auto reply = Send(kReadVW100);
    EXPECT_TRUE(reply->flood);
    EXPECT_EQ(reply->floodMs, 250u);
    EXPECT_TRUE(reply->bytes.empty());
    reply = Send(kReadVW100);
    EXPECT_TRUE(reply->flood);
    EXPECT_EQ(reply->floodMs, 0u);  // without end
    EXPECT_EQ(Poll(), Bytes{kSC});  // nothing pending
    reply = Send(kReadVW100);
    EXPECT_EQ(reply->bytes, Bytes{kSC});
    EXPECT_EQ(reply->trickleMs, 40u);
    reply = Send(Hex("10 02 00 5C 5E 16"));
    EXPECT_EQ(reply->trickleMs, 40u);
    EXPECT_EQ(reply->bytes.size(), 29u);
    const Bytes noise = bus->noise(4000);
    for (std::uint8_t start : {kSC, kSD1, kSD2, kSD4})
        EXPECT_EQ(std::count(noise.begin(), noise.end(), start), 0);
}

TEST_F(FaultyBus, RejectionAnswersWithTheErrorClassAndCode) {
    Make({"reject=0x8001:next:1", "reject:always"});
    Send(kAssociate2);
    EXPECT_EQ(Poll()[14], 0x08);  // set-up is not rejected
    Send(kWriteMB10);
    EXPECT_EQ(Poll(), Hex("68 0F 0F 68 00 02 08 32 03 00 00 00 00 00 00 00 00 80 01 C0 16"));
    EXPECT_EQ(bus->station(2)->memory().bytes(Area::M)[10], 0);
    Send(kReadVW100);
    const Bytes rejected = Poll();
    EXPECT_EQ(rejected[17], 0x81);
    EXPECT_EQ(rejected[18], 0x04);
    EXPECT_FALSE(ParseFaultRule("reject=0x10000:always"));
}

// A busy station takes the request with SC and carries nothing out:
// noresource answers the poll with SD1 FC 0x02, busy answers every poll
// with SC until the next request; the following request is served.
TEST_F(FaultyBus, BusyStationsTakeTheRequestAndServeNothing) {
    Make({"noresource:next:1", "busy:next:1@2"});
    EXPECT_EQ(Send(kWriteMB10)->bytes, Bytes{kSC});
    EXPECT_EQ(Poll(), Hex("10 00 02 02 04 16"));
    EXPECT_EQ(Send(kWriteMB10)->note, "station 2: ref 0000 not carried out; fault busy");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Poll(), Bytes{kSC});
    EXPECT_EQ(bus->station(2)->memory().bytes(Area::M)[10], 0);
    Send(kReadVW100);
    EXPECT_EQ(Poll().size(), 29u);
    EXPECT_FALSE(ParseFaultRule("busy=3:always"));
}

}  // namespace
}  // namespace ppisim
