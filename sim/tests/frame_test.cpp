#include <gtest/gtest.h>

#include "hex.h"
#include "ppisim/frame.h"

namespace ppisim {
namespace {

using testing::Hex;

TEST(Frame, EncodesThePollAndTheTokenAndChecksumsAnSd2) {
    EXPECT_EQ(EncodeSD1(0x02, 0x00, 0x5C), Hex("10 02 00 5C 5E 16"));
    EXPECT_EQ(EncodeSD4(0x00, 0x02), Hex("DC 00 02"));
    const Bytes data = Hex("32 03 00 00 00 00 00 02 00 01 00 00 05 01 FF");
    EXPECT_EQ(EncodeSD2(0x00, 0x02, 0x08, data),
              Hex("68 12 12 68 00 02 08 32 03 00 00 00 00 00 02 00 01 00 00 05 01 FF 47 16"));
}

TEST(Frame, RequestFunctionCodes) {
    EXPECT_TRUE(IsSrdRequest(0x6C));
    EXPECT_TRUE(IsSrdRequest(0x7C));
    EXPECT_TRUE(IsSrdRequest(0x5C));
    EXPECT_TRUE(IsSrdRequest(0x4D));
    EXPECT_FALSE(IsSrdRequest(0x08));  // a response
    EXPECT_FALSE(IsSrdRequest(0x49));  // a status request
}

TEST(FrameReader, CutsFramesOutOfAStreamInPieces) {
    const Bytes request = Hex("68 15 15 68 02 00 6C 32 01 00 00 CC C1 00 04 00 00 F0 00 00 01 00 01 03 C0 E7 16");
    const Bytes poll = Hex("10 02 00 5C 5E 16");
    Bytes stream = request;
    stream.insert(stream.end(), poll.begin(), poll.end());
    stream.insert(stream.end(), {0xDC, 0x03, 0x00});

    FrameReader reader;
    reader.feed(std::span(stream).first(10), 100);
    EXPECT_FALSE(reader.next());
    reader.feed(std::span(stream).subspan(10), 200);
    std::int64_t first = 0;
    auto f1 = reader.next(&first);
    ASSERT_TRUE(f1);
    EXPECT_EQ(f1->kind, FrameKind::SD2);
    EXPECT_EQ(first, 100);
    EXPECT_EQ(f1->da, 2);
    EXPECT_EQ(f1->sa, 0);
    EXPECT_EQ(f1->fc, 0x6C);
    EXPECT_EQ(f1->data.size(), 18u);
    EXPECT_EQ(f1->raw, request);
    auto f2 = reader.next(&first);
    ASSERT_TRUE(f2);
    EXPECT_EQ(f2->kind, FrameKind::SD1);
    EXPECT_EQ(first, 200);
    EXPECT_EQ(f2->fc, 0x5C);
    auto f3 = reader.next();
    ASSERT_TRUE(f3);
    EXPECT_EQ(f3->kind, FrameKind::SD4);
    EXPECT_EQ(f3->da, 3);
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.skipped(), 0u);
}

TEST(FrameReader, SkipsNoiseAndBrokenFramesToFindTheNextGoodOne) {
    FrameReader reader;
    // noise, a lone SC, a poll with a wrong checksum, one with a wrong end
    // byte, an SD2 whose LE and LEr differ, then a good poll
    reader.feed(Hex("00 FF E5 10 02 00 5C 5F 16 10 02 00 5C 5E 17 68 05 06 68 10 02 00 5C 5E 16"), 0);
    auto frame = reader.next();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->raw, Hex("10 02 00 5C 5E 16"));
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.skipped(), 19u);
}

TEST(FrameReader, DiscardsAPartialFrameOnRequest) {
    FrameReader reader;
    reader.feed(Hex("68 1B 1B 68 02 00"), 0);
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.pending(), 6u);
    reader.discardPartial();
    reader.feed(Hex("10 02 00 5C 5E 16"), 5);
    ASSERT_TRUE(reader.next());
}

}  // namespace
}  // namespace ppisim
