// Commands 5, 6, 7 and 10 through VpiMain: the host buffer layouts, the
// element index as byte address, text tags, and records that cannot be served.
#include <cstring>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "scripted_platform.h"
#include "s7200_peer.h"

namespace plclink {
namespace {

using testing::Bytes;
using testing::Host;
using Answer = testing::S7200Peer::Answer;
using Lines = std::vector<std::string>;

class BlockCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { Host().reset(); }

    int Run(std::uint32_t command) {
        side.block.command = command;
        return VpiMain(&side.block);
    }
    std::uint16_t Word(std::size_t at) const {
        std::uint16_t v;
        std::memcpy(&v, side.buffer + at, 2);
        return v;
    }
    std::uint32_t Long(std::size_t at) const {
        std::uint32_t v;
        std::memcpy(&v, side.buffer + at, 4);
        return v;
    }
    void Fill(std::uint8_t value) { std::memset(side.buffer, value, sizeof side.buffer); }
    // The value bytes of the last write request.
    Bytes SentValues() const {
        const Bytes& r = peer.requests.back();
        return Bytes(r.begin() + 35, r.end() - 2);
    }

    ScriptedPlatform platform;
    testing::DriverSide side{platform};
    testing::S7200Peer peer{platform, 2};
};

TEST_F(BlockCommandsTest, ReadValueOfAWordUsesTheByteAddressAndRestoresTheIndex) {
    peer.area('V')[100] = 0x12;
    peer.area('V')[101] = 0x34;
    side.tag('V', 16, 50);
    Fill(0xEE);
    ASSERT_EQ(Run(VPI_READ_VALUE), 0);
    EXPECT_EQ(Word(2), 0x1234);
    EXPECT_EQ(Word(0), 0);
    EXPECT_EQ(side.buffer[4], 0xEE);
    EXPECT_EQ(side.record.elementIndex, 50);
    EXPECT_EQ(side.instance.blockMode, 0u);
    EXPECT_EQ(side.instance.valueSlot, reinterpret_cast<std::uint16_t*>(side.buffer + 2));
    EXPECT_EQ(side.instance.dataStart, side.buffer);
    const Bytes& request = peer.requests.back();
    EXPECT_EQ(Bytes(request.begin() + 28, request.begin() + 31), (Bytes{0x00, 0x03, 0x20}));

    // A failed read restores the index too and leaves bytes 0..3 zero.
    peer.otherwise = Answer::kSilent;
    Fill(0xEE);
    EXPECT_EQ(Run(VPI_READ_VALUE), 2);
    EXPECT_EQ(side.record.elementIndex, 50);
    EXPECT_EQ(Long(0), 0u);
    EXPECT_EQ(side.buffer[4], 0xEE);
}

TEST_F(BlockCommandsTest, ReadValueLayoutsOfBitsAndDoubleWords) {
    peer.area('I')[3] = 0x10;
    side.tag('I', 8, 3, 4);
    Fill(0xEE);
    ASSERT_EQ(Run(VPI_READ_VALUE), 0);
    EXPECT_EQ(Word(2), 1);
    EXPECT_EQ(Word(0), 0);
    side.record.bitNumber = 5;
    ASSERT_EQ(Run(VPI_READ_VALUE), 0);
    EXPECT_EQ(Word(2), 0);

    const std::uint8_t dword[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    std::memcpy(&peer.area('M')[8], dword, 4);
    side.tag('M', 32, 2);
    ASSERT_EQ(Run(VPI_READ_VALUE), 0);
    EXPECT_EQ(Long(0), 0xDEADBEEFu);
    EXPECT_EQ(Word(2), 0xDEAD);
}

TEST_F(BlockCommandsTest, ReadBlockFillsElementsFromTheStart) {
    for (int i = 0; i < 16; ++i) peer.area('V')[40 + i] = static_cast<std::uint8_t>(i + 1);
    side.tag('V', 32, 10);
    side.record.itemCount = 4;
    Fill(0xEE);
    ASSERT_EQ(Run(VPI_READ_BLOCK), 0);
    EXPECT_EQ(Long(0), 0x01020304u);
    EXPECT_EQ(Long(12), 0x0D0E0F10u);
    EXPECT_EQ(side.buffer[16], 0xEE);
    EXPECT_EQ(side.instance.blockMode, 1u);
    EXPECT_EQ(side.record.elementIndex, 10);
    EXPECT_EQ(peer.requests.back()[24], 4);  // count

    // Writes leave blockMode alone.
    side.record.itemCount = 1;
    ASSERT_EQ(Run(VPI_WRITE_BLOCK), 0);
    EXPECT_EQ(side.instance.blockMode, 1u);
}

TEST_F(BlockCommandsTest, TextTagsAreClearedByReadsOnly) {
    side.tag('V', 8, 0);
    side.record.tagKind = 7;
    side.record.itemCount = 3;
    peer.otherwise = Answer::kSilent;
    Fill(0xEE);
    EXPECT_EQ(Run(VPI_READ_BLOCK), 2);
    EXPECT_EQ(side.buffer[0], 0);
    EXPECT_EQ(side.buffer[1], 0xEE);

    peer.otherwise = Answer::kNormal;
    const std::uint8_t text[3] = {'a', 'b', 'c'};
    std::memcpy(side.buffer, text, 3);
    ASSERT_EQ(Run(VPI_WRITE_BLOCK), 0);
    EXPECT_EQ(SentValues(), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(side.buffer[0], 'a');

    side.buffer[2] = 'Z';
    ASSERT_EQ(Run(VPI_WRITE_VALUE), 0);
    EXPECT_EQ(SentValues(), (Bytes{'Z'}));
}

TEST_F(BlockCommandsTest, SingleWritesTakeTheirValueFromByteTwo) {
    side.tag('M', 8, 10);
    side.buffer[0] = 0x11;
    side.buffer[1] = 0x22;
    side.buffer[2] = 0x5A;
    side.buffer[3] = 0x99;
    ASSERT_EQ(Run(VPI_WRITE_VALUE), 0);
    EXPECT_EQ(SentValues(), Bytes{0x5A});
    EXPECT_EQ(peer.area('M')[10], 0x5A);

    side.tag('V', 32, 1);
    ASSERT_EQ(Run(VPI_WRITE_VALUE), 0);
    EXPECT_EQ(SentValues(), (Bytes{0x99, 0x5A, 0x22, 0x11}));
}

TEST_F(BlockCommandsTest, ABlockOfOneIsTakenFromTheBufferStartAsItWasRead) {
    // The host's block buffer holds itemCount elements: one word here.
    peer.area('V')[6] = 0xAB;
    peer.area('V')[7] = 0xCD;
    side.tag('V', 16, 3);
    side.record.itemCount = 1;
    Fill(0xEE);
    ASSERT_EQ(Run(VPI_READ_BLOCK), 0);
    EXPECT_EQ(Word(0), 0xABCD);
    EXPECT_EQ(side.buffer[2], 0xEE);

    peer.area('V')[6] = peer.area('V')[7] = 0;
    ASSERT_EQ(Run(VPI_WRITE_BLOCK), 0);
    EXPECT_EQ(SentValues(), (Bytes{0xAB, 0xCD}));
    EXPECT_EQ(peer.area('V')[6], 0xAB);
    EXPECT_EQ(side.record.elementIndex, 3);

    side.tag('M', 8, 0, 4);  // a bit block of one
    side.buffer[0] = 0x40;
    ASSERT_EQ(Run(VPI_WRITE_BLOCK), 0);
    EXPECT_EQ(SentValues(), Bytes{0x01});
    EXPECT_EQ(peer.area('M')[0], 0x10);
}

TEST_F(BlockCommandsTest, WrittenBlocksReadBack) {
    const std::uint16_t out[5] = {1, 0x7FFF, 0x8000, 0xFFFF, 0x1234};
    std::memcpy(side.buffer, out, sizeof out);
    side.tag('Q', 16, 5);
    side.record.itemCount = 5;
    ASSERT_EQ(Run(VPI_WRITE_BLOCK), 0);
    Fill(0);
    ASSERT_EQ(Run(VPI_READ_BLOCK), 0);
    EXPECT_EQ(std::memcmp(side.buffer, out, sizeof out), 0);
    EXPECT_EQ(peer.area('Q')[10], 0x00);
    EXPECT_EQ(peer.area('Q')[11], 0x01);
    EXPECT_TRUE(Host().log.empty());
}

TEST_F(BlockCommandsTest, RecordsThatCannotBeServedAreRefusedUntouched) {
    struct Case {
        const char* what;
        std::uint32_t command;
        std::uint8_t bits;
        std::int32_t count;
        std::uint32_t bit;
        const char* line;
    };
    const std::vector<Case> cases{
        {"empty block read", VPI_READ_BLOCK, 8, 0, VPI_NO_BIT,
         "VpiK701: ReadBlock() FAIL (itemCount: 0)"},
        {"negative block write", VPI_WRITE_BLOCK, 16, -3, VPI_NO_BIT,
         "VpiK701: WriteBlock() FAIL (itemCount: -3)"},
        {"235 read bytes", VPI_READ_BLOCK, 8, 235, VPI_NO_BIT,
         "VpiK701: ReadBlock() FAIL (itemCount: 235 does not fit one frame)"},
        {"59 read dwords", VPI_READ_BLOCK, 32, 59, VPI_NO_BIT,
         "VpiK701: ReadBlock() FAIL (itemCount: 59 does not fit one frame)"},
        {"LE 257", VPI_WRITE_BLOCK, 16, 113, VPI_NO_BIT,
         "VpiK701: WriteBlock() FAIL (itemCount: 113 does not fit one frame)"},
        {"225 bits", VPI_WRITE_BLOCK, 8, 225, 0,
         "VpiK701: WriteBlock() FAIL (itemCount: 225 does not fit one frame)"},
        {"huge count", VPI_WRITE_BLOCK, 32, 0x40000001, VPI_NO_BIT,
         "VpiK701: WriteBlock() FAIL (itemCount: 1073741825 does not fit one frame)"},
    };
    for (const Case& c : cases) {
        Host().reset();
        side.tag('V', c.bits, 7, c.bit);
        side.record.itemCount = c.count;
        Fill(0xEE);
        EXPECT_EQ(Run(c.command), 1) << c.what;
        EXPECT_EQ(Host().texts(), Lines{c.line}) << c.what;
        EXPECT_EQ(side.record.elementIndex, 7) << c.what;
        for (std::uint8_t b : side.buffer) ASSERT_EQ(b, 0xEE) << c.what;
    }
    EXPECT_TRUE(peer.requests.empty());

    // Element indexes whose byte address leaves the 24-bit bit address, also
    // those that would wrap in 32 bits onto address 0.
    struct Index {
        std::uint8_t bits;
        std::int32_t index;
        std::uint32_t command;
    };
    for (const Index& x : {Index{8, -1, VPI_READ_VALUE}, Index{8, 0x200000, VPI_WRITE_VALUE},
                           Index{16, 0x100000, VPI_READ_BLOCK},
                           Index{32, 0x40000000, VPI_WRITE_BLOCK},
                           Index{32, -0x40000000, VPI_READ_VALUE}}) {
        Host().reset();
        side.tag('V', x.bits, x.index);
        side.record.itemCount = 1;
        EXPECT_EQ(Run(x.command), 1) << x.index;
        ASSERT_EQ(Host().texts().size(), 1u);
        EXPECT_NE(Host().texts()[0].find("FAIL (elementIndex: " + std::to_string(x.index) + ")"),
                  std::string::npos)
            << Host().texts()[0];
        EXPECT_EQ(side.record.elementIndex, x.index);
    }
    EXPECT_TRUE(peer.requests.empty());
    // The highest address still goes out.
    side.tag('V', 8, 0x1FFFFF);
    Run(VPI_READ_VALUE);
    ASSERT_EQ(peer.requests.size(), 3u);  // refused by the station, tried three times
    EXPECT_EQ(Bytes(peer.requests[0].begin() + 28, peer.requests[0].begin() + 31),
              (Bytes{0xFF, 0xFF, 0xF8}));
    peer.requests.clear();

    // The largest blocks that fit go out.
    side.tag('V', 8, 0);
    side.record.itemCount = 234;
    EXPECT_EQ(Run(VPI_READ_BLOCK), 0);
    side.tag('V', 16, 0);
    side.record.itemCount = 112;
    EXPECT_EQ(Run(VPI_WRITE_BLOCK), 0);
    EXPECT_EQ(peer.requests.size(), 2u);
}

// A read refused for its address still empties the host's value first, so
// that an old value never looks fresh; a refused write leaves the buffer.
TEST_F(BlockCommandsTest, WritesToAnalogInputsAreNeverSent) {
    for (std::uint32_t command : {VPI_WRITE_VALUE, VPI_WRITE_BLOCK}) {
        Host().reset();
        side.tag('V', 16, 3);
        side.record.memArea = VPI_AREA_AI;
        side.record.itemCount = 2;
        Fill(0xEE);
        EXPECT_EQ(Run(command), 1);
        const char* name = command == VPI_WRITE_VALUE ? "WriteValue" : "WriteBlock";
        EXPECT_EQ(Host().texts(), Lines{std::string("VpiK701: ") + name +
                                        "() FAIL (PLC 2 AIW6: analog inputs are read-only)"});
        EXPECT_EQ(side.record.elementIndex, 3);
    }
    EXPECT_TRUE(peer.requests.empty());
    // Analog outputs are written, and analog inputs read.
    side.record.memArea = VPI_AREA_AQ;
    EXPECT_EQ(Run(VPI_WRITE_VALUE), 0);
    side.record.memArea = VPI_AREA_AI;
    EXPECT_EQ(Run(VPI_READ_VALUE), 0);
}

TEST_F(BlockCommandsTest, RefusedReadsStillEmptyTheValue) {
    struct Case {
        std::uint32_t command;
        std::int32_t tagKind;
        std::size_t zeroed;  // leading bytes cleared
    };
    for (const Case& c : {Case{VPI_READ_VALUE, 0, 4}, Case{VPI_READ_VALUE, 7, 4},
                          Case{VPI_READ_BLOCK, 7, 1}, Case{VPI_READ_BLOCK, 0, 0},
                          Case{VPI_WRITE_BLOCK, 7, 0}, Case{VPI_WRITE_VALUE, 7, 0}}) {
        side.tag('V', 16, 0x100000);
        side.record.itemCount = 2;
        side.record.tagKind = c.tagKind;
        Fill(0xEE);
        EXPECT_EQ(Run(c.command), 1) << c.command;
        for (std::size_t i = 0; i < sizeof side.buffer; ++i)
            ASSERT_EQ(side.buffer[i], i < c.zeroed ? 0 : 0xEE) << c.command << " byte " << i;
    }
    EXPECT_TRUE(peer.requests.empty());
}

TEST_F(BlockCommandsTest, MissingBufferRecordOrInstanceIsRefused) {
    side.record.dataBuffer = nullptr;
    for (std::uint32_t command : {5u, 6u, 7u, 10u}) EXPECT_EQ(Run(command), 1);
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: ReadValue() FAIL (no dataBuffer)",
                                     "VpiK701: ReadBlock() FAIL (no dataBuffer)",
                                     "VpiK701: WriteValue() FAIL (no dataBuffer)",
                                     "VpiK701: WriteBlock() FAIL (no dataBuffer)"}));

    Host().reset();
    side.block.params = nullptr;
    EXPECT_EQ(Run(VPI_READ_VALUE), 1);
    side.block.params = &side.record;
    side.block.instance = nullptr;
    EXPECT_EQ(Run(VPI_WRITE_BLOCK), 1);
    EXPECT_EQ(Host().texts(), (Lines{"ReadValue() FAIL (no instance or record)",
                                     "WriteBlock() FAIL (no instance or record)"}));
    EXPECT_TRUE(peer.requests.empty());
}

}  // namespace
}  // namespace plclink
