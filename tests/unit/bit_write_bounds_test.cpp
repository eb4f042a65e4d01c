// Bit writes whose bit number would reach beyond the tag's element: the
// request's bit address is byte address x 8 + bitNumber, so a bit number out
// of the element (or one that carries the 24-bit address over) would write a
// bit of another element. Such records are refused before anything is sent.
#include <gtest/gtest.h>

#include "fake_host.h"
#include "scripted_platform.h"
#include "s7200_peer.h"

namespace plclink {
namespace {

using testing::Bytes;
using testing::Host;

class BitWriteBoundsTest : public ::testing::Test {
protected:
    void SetUp() override { Host().reset(); }

    int Write(std::uint32_t command) {
        side.block.command = command;
        return VpiMain(&side.block);
    }

    ScriptedPlatform platform;
    testing::DriverSide side{platform};
    testing::S7200Peer peer{platform, 2};
};

TEST_F(BitWriteBoundsTest, BitNumbersBeyondTheElementAreRefused) {
    struct Case {
        std::uint8_t bits;
        std::int32_t sizeBits;
        std::int32_t index;
        std::uint32_t bit;
        std::uint32_t command;
    };
    // The last one: bit 31 of a double word at the highest byte address,
    // past the 24 bits (its index counts bytes).
    for (const Case& c : {Case{8, 8, 10, 8, VPI_WRITE_VALUE}, Case{8, 8, 10, 254, VPI_WRITE_VALUE},
                          Case{8, 8, 10, 0xFF0000FFu, VPI_WRITE_VALUE},
                          Case{16, 16, 5, 16, VPI_WRITE_BLOCK},
                          Case{32, 8, 0x1FFFFF, 31, VPI_WRITE_VALUE}}) {
        Host().reset();
        side.tag('M', c.bits, c.index, c.bit);
        side.record.sizeBits = c.sizeBits;
        side.record.itemCount = 1;
        EXPECT_EQ(Write(c.command), 1) << c.bit;
        ASSERT_EQ(Host().texts().size(), 1u) << c.bit;
        EXPECT_NE(Host().texts()[0].find("FAIL (bitNumber: " + std::to_string(c.bit) + ")"),
                  std::string::npos)
            << Host().texts()[0];
        EXPECT_EQ(side.record.elementIndex, c.index);
    }
    EXPECT_TRUE(peer.requests.empty());
}

TEST_F(BitWriteBoundsTest, BitsWithinTheElementGoOut) {
    // Bit 7 of a byte, and bit 12 of a word: byte address x 8 + bit.
    side.tag('M', 8, 10, 7);
    side.buffer[2] = 1;
    EXPECT_EQ(Write(VPI_WRITE_VALUE), 0);
    side.tag('M', 16, 5, 12);
    EXPECT_EQ(Write(VPI_WRITE_VALUE), 0);
    ASSERT_EQ(peer.requests.size(), 2u);
    EXPECT_EQ(Bytes(peer.requests[0].begin() + 28, peer.requests[0].begin() + 31),
              (Bytes{0x00, 0x00, 10 * 8 + 7}));
    EXPECT_EQ(Bytes(peer.requests[1].begin() + 28, peer.requests[1].begin() + 31),
              (Bytes{0x00, 0x00, 10 * 8 + 12}));
    EXPECT_TRUE(Host().texts().empty());
}

}  // namespace
}  // namespace plclink
