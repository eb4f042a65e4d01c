// Grouping tags into block reads, and each tag's value out of a block's
// bytes exactly as a single read gives it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "block_values.h"
#include "frame_limits.h"
#include "read_plan.h"

using namespace plclink::host;

namespace {

Tag MakeTag(int plc, char area, ElementType type, int byteAddress, int bit = -1) {
    Tag tag;
    tag.type = type;
    tag.plcNumber = plc;
    tag.memArea = static_cast<std::uint8_t>(area);
    tag.sizeBits = ElementBytes(type) * 8;
    tag.memAreaBits = static_cast<std::uint8_t>(tag.sizeBits);
    tag.elementIndex = byteAddress / ElementBytes(type);
    tag.bitNumber = bit < 0 ? VPI_NO_BIT : static_cast<std::uint32_t>(bit);
    return tag;
}

// Every tag lies in exactly one step, and a block covers each of its tags.
void ExpectSound(const std::vector<Tag>& tags, const std::vector<ReadStep>& steps, int maxBlock) {
    std::multiset<std::size_t> seen;
    for (const ReadStep& step : steps) {
        seen.insert(step.tags.begin(), step.tags.end());
        if (!step.isBlock()) {
            EXPECT_EQ(step.tags.size(), 1u);
            continue;
        }
        EXPECT_GE(step.tags.size(), 2u);
        EXPECT_LE(step.byteCount, maxBlock);
        for (std::size_t i : step.tags) {
            EXPECT_EQ(tags[i].plcNumber, step.plcNumber);
            EXPECT_EQ(tags[i].memArea, step.area);
            EXPECT_GE(tags[i].byteAddress(), step.firstByte);
            EXPECT_LE(tags[i].byteAddress() + ElementBytes(tags[i].type), step.firstByte + step.byteCount);
        }
    }
    EXPECT_EQ(seen.size(), tags.size());
    for (std::size_t i = 0; i < tags.size(); ++i) EXPECT_EQ(seen.count(i), 1u) << i;
}

}  // namespace

TEST(ReadPlan, CloseMeansAGapShorterThanATransactionsFixedCost) {
    EXPECT_EQ(kMaxReadBlockBytes, 222);
    // 67 frame bytes, plus 2 x 41 ms at 9600 baud = 71.5 byte times.
    EXPECT_EQ(CoalesceRuleFor(9600, 40).maxGapBytes, 67 + 71);
    EXPECT_EQ(CoalesceRuleFor(9600, 5).maxGapBytes, 67 + 10);
    EXPECT_EQ(CoalesceRuleFor(19200, 40).maxGapBytes, 67 + 143);
    EXPECT_EQ(CoalesceRuleFor(9600, 40).maxBlockBytes, kMaxReadBlockBytes);

    const CoalesceRule rule{20, 222};
    const std::vector<Tag> tags = {
        MakeTag(2, 'V', ElementType::Word, 100), MakeTag(2, 'V', ElementType::DWord, 120),  // gap 18
        MakeTag(2, 'V', ElementType::Byte, 145),                                          // gap 21
        MakeTag(2, 'V', ElementType::Byte, 146), MakeTag(3, 'V', ElementType::Byte, 101),  // other station
        MakeTag(2, 'M', ElementType::Byte, 4),                                            // other area
    };
    const auto steps = PlanReads(tags, rule);
    ExpectSound(tags, steps, 222);
    ASSERT_EQ(steps.size(), 4u);
    std::vector<const ReadStep*> blocks;
    for (const ReadStep& s : steps)
        if (s.isBlock()) blocks.push_back(&s);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0]->firstByte, 100);
    EXPECT_EQ(blocks[0]->byteCount, 24);
    EXPECT_EQ(blocks[1]->firstByte, 145);
    EXPECT_EQ(blocks[1]->byteCount, 2);
    EXPECT_EQ(OneByOne(tags).size(), tags.size());
}

TEST(ReadPlan, BlocksSplitAtTheFrameLimitAndTakeOverlapsAndUnsortedTags) {
    // 50 words spread evenly over V0..V299, given backwards.
    std::vector<Tag> tags;
    for (int i = 49; i >= 0; --i) tags.push_back(MakeTag(2, 'V', ElementType::Word, i * 6));
    tags.push_back(MakeTag(2, 'V', ElementType::Byte, 7));          // inside the word at 6
    tags.push_back(MakeTag(2, 'V', ElementType::Byte, 6, 3));       // a bit of it
    const auto steps = PlanReads(tags, CoalesceRuleFor(9600, 40));
    ExpectSound(tags, steps, kMaxReadBlockBytes);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].firstByte, 0);
    EXPECT_EQ(steps[0].byteCount, 218);  // the word at 216 is the last that fits 222 bytes
    EXPECT_EQ(steps[1].firstByte, 222);
    EXPECT_EQ(steps[1].byteCount, 296 - 222);
    // Exactly at the limit: 222 bytes in one block, 223 in two.
    const std::vector<Tag> edge = {MakeTag(2, 'V', ElementType::Byte, 0), MakeTag(2, 'V', ElementType::Word, 220)};
    const auto fits = PlanReads(edge, CoalesceRule{1000, 222});
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_EQ(fits[0].byteCount, 222);
    const std::vector<Tag> over = {MakeTag(2, 'V', ElementType::Byte, 0), MakeTag(2, 'V', ElementType::Byte, 222)};
    EXPECT_EQ(PlanReads(over, CoalesceRule{1000, 222}).size(), 2u);
}

TEST(ReadPlan, TagsBeyondTheAreasEveryS7200HasAreReadAlone) {
    const std::vector<Tag> tags = {MakeTag(2, 'Q', ElementType::Byte, 15), MakeTag(2, 'Q', ElementType::Byte, 100),
                                   MakeTag(2, 'M', ElementType::Word, 30), MakeTag(2, 'M', ElementType::Word, 32),
                                   MakeTag(2, 'I', ElementType::Byte, 0), MakeTag(2, 'I', ElementType::Byte, 15)};
    const auto steps = PlanReads(tags, CoalesceRuleFor(9600, 40));
    ExpectSound(tags, steps, kMaxReadBlockBytes);
    EXPECT_EQ(steps.size(), 5u);  // only I0 and I15 share a block
}

TEST(BlockValues, EveryTypeAndBitAsASingleReadLeavesIt) {
    // The controller's bytes from V100 on, as a block read delivers them.
    const std::uint8_t memory[] = {0x12, 0x34, 0xAB, 0xCD, 0x40, 0x49, 0x0F, 0xDB, 0x81};
    struct Case {
        Tag tag;
        std::uint32_t value;
        std::uint8_t buffer[4];  // bytes 0..3 of the host buffer after command 5
    };
    const Case cases[] = {
        {MakeTag(2, 'V', ElementType::Byte, 100), 0x12, {0, 0, 0x12, 0}},
        {MakeTag(2, 'V', ElementType::Word, 100), 0x1234, {0, 0, 0x34, 0x12}},
        {MakeTag(2, 'V', ElementType::Word, 102), 0xABCD, {0, 0, 0xCD, 0xAB}},
        {MakeTag(2, 'V', ElementType::DWord, 100), 0x1234ABCD, {0xCD, 0xAB, 0x34, 0x12}},
        {MakeTag(2, 'V', ElementType::Float, 104), 0x40490FDB, {0xDB, 0x0F, 0x49, 0x40}},
        {MakeTag(2, 'V', ElementType::Bit, 108, 7), 1, {0, 0, 1, 0}},
        {MakeTag(2, 'V', ElementType::Bit, 108, 1), 0, {0, 0, 0, 0}},
        {MakeTag(2, 'V', ElementType::Bit, 108, 0), 1, {0, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        const std::uint32_t value = ValueInBlock(c.tag, memory, 100);
        EXPECT_EQ(value, c.value) << c.tag.byteAddress();
        ValueBuffer buffer = SingleReadBuffer(c.tag, value);
        EXPECT_EQ(std::memcmp(buffer.data(), c.buffer, 4), 0) << c.tag.byteAddress();
        EXPECT_EQ(buffer.element(0), c.value);
    }
}
