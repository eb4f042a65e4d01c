// The stations' answers on the bus, byte for byte, for the frames a master
// sends: set-up, reads and writes of every size, bits, blocks, refusals.
#include <gtest/gtest.h>

#include "hex.h"
#include "ppisim/bus.h"

namespace ppisim {
namespace {

using testing::Hex;
using testing::ToHex;

const Bytes kPoll2 = Hex("10 02 00 5C 5E 16");
const Bytes kAssociate2 =
    Hex("68 15 15 68 02 00 6C 32 01 00 00 CC C1 00 04 00 00 F0 00 00 01 00 01 03 C0 E7 16");
const Bytes kReadVW100 =
    Hex("68 1B 1B 68 02 00 7C 32 01 00 00 00 00 00 0E 00 00 04 01 12 0A 10 04 00 01 00 01 84 00 03 20 9D 16");
const Bytes kWriteMB10 =
    Hex("68 20 20 68 02 00 7C 32 01 00 00 00 00 00 0E 00 05 05 01 12 0A 10 02 00 01 00 00 83 00 00 50 00 04 00 08 5A 32 16");
const Bytes kSetQ0_3 =
    Hex("68 20 20 68 02 00 7C 32 01 00 00 00 00 00 0E 00 05 05 01 12 0A 10 01 00 01 00 00 82 00 00 03 00 03 00 01 01 82 16");

Frame Parse(const Bytes& bytes) {
    FrameReader reader;
    reader.feed(bytes, 0);
    auto frame = reader.next();
    EXPECT_TRUE(frame) << ToHex(bytes);
    return frame ? *frame : Frame{};
}

// A read or write request as a master builds it: one item of `count`
// elements at `byteAddress` (plus `bit` for a bit write), values big-endian.
Bytes Request(std::uint8_t station, std::uint8_t function, std::uint8_t transport, std::uint16_t count,
              std::uint8_t area, std::uint32_t bitAddress, const Bytes& values = {}) {
    Bytes m = {0x32, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, function, 0x01,
               0x12, 0x0A, 0x10, transport, static_cast<std::uint8_t>(count >> 8),
               static_cast<std::uint8_t>(count), 0x00, static_cast<std::uint8_t>(area == 0x84),
               area, static_cast<std::uint8_t>(bitAddress >> 16), static_cast<std::uint8_t>(bitAddress >> 8),
               static_cast<std::uint8_t>(bitAddress)};
    if (function == kFunctionWrite) {
        const std::size_t bits = transport == kTransportBit ? 1 : values.size() * 8;
        const std::size_t datLg = values.size() + 4;
        m[8] = static_cast<std::uint8_t>(datLg >> 8);
        m[9] = static_cast<std::uint8_t>(datLg);
        m.insert(m.end(), {0x00, static_cast<std::uint8_t>(transport == kTransportBit ? 0x03 : 0x04),
                           static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)});
        m.insert(m.end(), values.begin(), values.end());
    }
    return EncodeSD2(station, 0x00, 0x7C, m);
}

class BusTest : public ::testing::Test {
protected:
    BusTest() { bus.addStation(2, AreaSizes{}); }

    // Sends a request, expects SC, polls and returns the response frame.
    Bytes Exchange(const Bytes& request, std::uint8_t station = 2) {
        auto ack = bus.onFrame(Parse(request));
        EXPECT_TRUE(ack);
        if (!ack) return {};
        EXPECT_EQ(ack->bytes, Bytes{kSC});
        auto response = bus.onFrame(Parse(EncodeSD1(station, 0x00, 0x5C)));
        EXPECT_TRUE(response);
        return response ? response->bytes : Bytes{};
    }
    StationMemory& memory() { return bus.station(2)->memory(); }

    Bus bus;
};

TEST_F(BusTest, AnswersTheAssociationRequestWithAResponseWithoutData) {
    EXPECT_EQ(ToHex(Exchange(kAssociate2)),
              "68 17 17 68 00 02 08 32 03 00 00 CC C1 00 08 00 00 00 00 F0 00 00 01 00 01 00 F0 B6 16");
}

TEST_F(BusTest, ReadsAWordOfVMemoryAsTheExampleResponse) {
    memory().write(Area::V, 100, Hex("12 34"));
    EXPECT_EQ(Exchange(kReadVW100),
              Hex("68 17 17 68 00 02 08 32 03 00 00 00 00 00 02 00 06 00 00 04 01 FF 04 00 10 12 34 A5 16"));
}

TEST_F(BusTest, WritesAByteAndABitAsTheExampleRequestsAsk) {
    const Bytes writeAck = Hex("68 12 12 68 00 02 08 32 03 00 00 00 00 00 02 00 01 00 00 05 01 FF 47 16");
    EXPECT_EQ(Exchange(kWriteMB10), writeAck);
    EXPECT_EQ(memory().bytes(Area::M)[10], 0x5A);
    memory().write(Area::Q, 0, Hex("81"));
    EXPECT_EQ(Exchange(kSetQ0_3), writeAck);
    EXPECT_EQ(memory().bytes(Area::Q)[0], 0x89);
}

TEST_F(BusTest, WriteThenReadBackEverySizeInEveryArea) {
    struct Case { std::uint8_t area; std::uint8_t transport; Bytes values; };
    const Case cases[] = {
        {kAreaCodeI, kTransportByte, Hex("A5")},
        {kAreaCodeQ, kTransportWord, Hex("12 34")},
        {kAreaCodeM, kTransportDWord, Hex("DE AD BE EF")},
        {kAreaCodeV, kTransportWord, Hex("01 02 03 04 05 06")},  // a block of three words
    };
    for (const Case& c : cases) {
        const auto count = static_cast<std::uint16_t>(c.values.size() / ElementSizeOf(c.transport));
        const Bytes write = Exchange(Request(2, kFunctionWrite, c.transport, count, c.area, 4 * 8, c.values));
        ASSERT_GE(write.size(), 23u);
        EXPECT_EQ(write[21], kAccessGranted) << ToHex(write);
        const Bytes read = Exchange(Request(2, kFunctionRead, c.transport, count, c.area, 4 * 8));
        Bytes expected = {0xFF, 0x04, 0x00, static_cast<std::uint8_t>(c.values.size() * 8)};
        expected.insert(expected.end(), c.values.begin(), c.values.end());
        ASSERT_EQ(read.size(), 21 + 2 + expected.size()) << ToHex(read);
        EXPECT_EQ(Bytes(read.begin() + 21, read.end() - 2), expected);
    }
}

TEST_F(BusTest, WritesARunOfBitsAndReadsOneBit) {
    EXPECT_EQ(Exchange(Request(2, kFunctionWrite, kTransportBit, 4, kAreaCodeM, 3 * 8 + 6, Hex("01 00 01 01")))[21],
              kAccessGranted);
    EXPECT_EQ(memory().bytes(Area::M)[3], 0x40);
    EXPECT_EQ(memory().bytes(Area::M)[4], 0x03);
    const Bytes read = Exchange(Request(2, kFunctionRead, kTransportBit, 1, kAreaCodeM, 4 * 8 + 1));
    EXPECT_EQ(Bytes(read.begin() + 21, read.end() - 2), Hex("FF 03 00 01 01"));
}

TEST_F(BusTest, RefusesAccessesOutsideMemoryAndWritesNothing) {
    // V ends at 10240: a word at 10239 crosses it.
    const Bytes read = Exchange(Request(2, kFunctionRead, kTransportWord, 1, kAreaCodeV, 10239 * 8));
    EXPECT_EQ(ToHex(read), "68 15 15 68 00 02 08 32 03 00 00 00 00 00 02 00 04 00 00 04 01 0A 00 00 00 54 16");
    const Bytes write = Exchange(Request(2, kFunctionWrite, kTransportByte, 2, kAreaCodeM, 31 * 8, Hex("11 22")));
    EXPECT_EQ(write[21], kAccessObjectMissing);
    EXPECT_EQ(memory().bytes(Area::M)[31], 0);
    EXPECT_EQ(Exchange(Request(2, kFunctionWrite, kTransportBit, 1, kAreaCodeI, 16 * 8, Hex("01")))[21],
              kAccessObjectMissing);
    EXPECT_EQ(Exchange(Request(2, kFunctionRead, kTransportByte, 1, 0x1C, 0))[21], kAccessObjectMissing);
    EXPECT_EQ(Exchange(Request(2, kFunctionRead, 0x1E, 1, kAreaCodeV, 0))[21], kAccessTypeUnsupported);
    // A word whose address has bit bits set is not a word address.
    EXPECT_EQ(Exchange(Request(2, kFunctionRead, kTransportWord, 1, kAreaCodeV, 8 * 8 + 3))[21],
              kAccessObjectMissing);
    // Fewer values than the item asks for.
    EXPECT_EQ(Exchange(Request(2, kFunctionWrite, kTransportWord, 2, kAreaCodeV, 0, Hex("11 22")))[21],
              kAccessDataInconsistent);
}

// The S7 error 0x8500: an acknowledgement without parameters or data.
constexpr const char* kPduSizeError = "32 03 00 00 00 00 00 00 00 00 85 00";

std::string MessageOf(const Bytes& frame) {
    return frame.size() < 9 ? ToHex(frame) : ToHex(Bytes(frame.begin() + 7, frame.end() - 2));
}

TEST_F(BusTest, ReadsAndWritesUpToThePduOf240AndRefusesMore) {
    memory().write(Area::V, 0, Bytes(300, 0x5A));
    const Bytes full = Exchange(Request(2, kFunctionRead, kTransportByte, 222, kAreaCodeV, 0));
    ASSERT_EQ(full.size(), 240u + 9u) << ToHex(full);  // LE 243
    EXPECT_EQ(full[21], kAccessGranted);
    EXPECT_EQ(MessageOf(Exchange(Request(2, kFunctionRead, kTransportByte, 223, kAreaCodeV, 0))), kPduSizeError);
    EXPECT_EQ(MessageOf(Exchange(Request(2, kFunctionRead, kTransportDWord, 56, kAreaCodeV, 0))), kPduSizeError);
    EXPECT_EQ(Exchange(Request(2, kFunctionRead, kTransportDWord, 55, kAreaCodeV, 0))[21], kAccessGranted);

    const Bytes written = Exchange(Request(2, kFunctionWrite, kTransportByte, 212, kAreaCodeV, 0, Bytes(212, 0x11)));
    EXPECT_EQ(written[21], kAccessGranted) << ToHex(written);
    // One byte more: refused, and nothing of it is written.
    EXPECT_EQ(MessageOf(Exchange(Request(2, kFunctionWrite, kTransportByte, 213, kAreaCodeV, 0, Bytes(213, 0x22)))),
              kPduSizeError);
    // The largest write a full frame carries (LE 255) is refused as well.
    EXPECT_EQ(MessageOf(Exchange(Request(2, kFunctionWrite, kTransportByte, 224, kAreaCodeV, 0, Bytes(224, 0x33)))),
              kPduSizeError);
    EXPECT_EQ(memory().bytes(Area::V)[0], 0x11);
    EXPECT_EQ(memory().bytes(Area::V)[212], 0x5A);
}

// A read of V bytes: `bytes` from V0, then one byte at V1000 and one
// beyond the memory, in one request.
Bytes ThreeItemRead(std::uint16_t bytes) {
    Bytes m = {0x32, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 2 + 3 * 12, 0x00, 0x00, kFunctionRead, 0x03};
    for (auto [count, byteAddress] : {std::pair<unsigned, unsigned>{bytes, 0}, {1, 1000}, {1, 20000}}) {
        const std::uint32_t bit = byteAddress * 8;
        for (unsigned b : {0x12u, 0x0Au, 0x10u, unsigned{kTransportByte}, count >> 8, count, 0x00u, 0x01u,
                           unsigned{kAreaCodeV}, bit >> 16, bit >> 8, bit})
            m.push_back(static_cast<std::uint8_t>(b));
    }
    return EncodeSD2(2, 0x00, 0x7C, m);
}

TEST_F(BusTest, AMultiItemAnswerFillsOddItemsAndMustFitThePdu) {
    memory().write(Area::V, 1000, Bytes{0x77});
    // 14 + (4 + 211 + fill) + (4 + 1 + fill) + 4: exactly 240 bytes.
    auto ack = bus.onFrame(Parse(ThreeItemRead(211)));
    ASSERT_TRUE(ack);
    EXPECT_NE(ack->note.find("read 3 items: 1 V0.0 ts02 x211 ok, 2 V1000.0 ts02 x1 ok, 3 V20000.0 ts02 x1 refused 0a"),
              std::string::npos) << ack->note;
    const Bytes full = bus.onFrame(Parse(EncodeSD1(2, 0x00, 0x5C)))->bytes;
    ASSERT_EQ(full.size(), 240u + 9u) << ToHex(full);
    EXPECT_EQ(ToHex(Bytes(full.begin() + 21 + 4 + 211, full.end() - 2)), "00 FF 04 00 08 77 00 0A 00 00 00");
    EXPECT_EQ(Exchange(ThreeItemRead(212)).size(), 240u + 9u);  // no fill byte
    // One value byte more and its fill byte: refused whole.
    EXPECT_EQ(MessageOf(Exchange(ThreeItemRead(213))), "32 03 00 00 00 00 00 00 00 00 85 00");
}

TEST_F(BusTest, ALargerPduIsCappedByTheFrameAndASmallerOneIsNegotiated) {
    ASSERT_TRUE(bus.addStation(4, AreaSizes{}, 960));
    // LE 249 leaves 246 message bytes: 228 values in a read answer.
    const Bytes full = Exchange(Request(4, kFunctionRead, kTransportByte, 228, kAreaCodeV, 0), 4);
    ASSERT_EQ(full.size(), 249u + 6u);
    EXPECT_EQ(full[1], 249);
    EXPECT_EQ(MessageOf(Exchange(Request(4, kFunctionRead, kTransportByte, 229, kAreaCodeV, 0), 4)), kPduSizeError);

    // A master that asks for 120 bytes gets 120, and no longer messages.
    Bytes setup = kAssociate2;
    setup[23] = 0x00;
    setup[24] = 0x78;
    const Bytes answer = Exchange(EncodeSD2(2, 0, 0x6C, Bytes(setup.begin() + 7, setup.end() - 2)));
    EXPECT_EQ(ToHex(Bytes(answer.end() - 4, answer.end() - 2)), "00 78");
    EXPECT_EQ(Exchange(Request(2, kFunctionRead, kTransportByte, 102, kAreaCodeV, 0))[21], kAccessGranted);
    EXPECT_EQ(MessageOf(Exchange(Request(2, kFunctionRead, kTransportByte, 103, kAreaCodeV, 0))), kPduSizeError);
}

TEST_F(BusTest, IgnoresOtherStationsAndAnswersAPollWithNothingPendingWithSc) {
    EXPECT_FALSE(bus.onFrame(Parse(Request(3, kFunctionRead, kTransportByte, 1, kAreaCodeV, 0))));
    EXPECT_FALSE(bus.onFrame(Parse(Hex("10 03 00 5C 5F 16"))));
    EXPECT_FALSE(bus.onFrame(Parse(Hex("DC 02 00"))));
    auto reply = bus.onFrame(Parse(kPoll2));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes, Bytes{kSC});
    // The response is handed out once.
    Exchange(kReadVW100);
    EXPECT_EQ(bus.onFrame(Parse(kPoll2))->bytes, Bytes{kSC});
}

TEST_F(BusTest, ServesSeveralStationsEachWithItsOwnMemory) {
    ASSERT_TRUE(bus.addStation(3, AreaSizes{}));
    EXPECT_FALSE(bus.addStation(3, AreaSizes{}));
    EXPECT_FALSE(bus.addStation(0, AreaSizes{}));
    Exchange(Request(3, kFunctionWrite, kTransportByte, 1, kAreaCodeV, 0, Hex("77")), 3);
    EXPECT_EQ(bus.station(3)->memory().bytes(Area::V)[0], 0x77);
    EXPECT_EQ(memory().bytes(Area::V)[0], 0);
    const Bytes response = Exchange(Request(3, kFunctionRead, kTransportByte, 1, kAreaCodeV, 0), 3);
    EXPECT_EQ(response[5], 3);  // SA of the response
}

TEST_F(BusTest, AnswersAnUnusableJobWithAnErrorClass) {
    // par_lg says 14 but the frame holds fewer bytes.
    const Bytes message = Hex("32 01 00 00 00 00 00 0E 00 00 04 01 12 0A 10");
    const Bytes response = Exchange(EncodeSD2(2, 0, 0x7C, message));
    EXPECT_EQ(ToHex(Bytes(response.begin() + 7, response.end() - 2)), "32 03 00 00 00 00 00 00 00 00 84 04");
}

TEST_F(BusTest, AScanTimeHoldsTheAnswerBackWithScUntilItIsReady) {
    ASSERT_TRUE(bus.addStation(3, AreaSizes{}));
    bus.setScanTime(2, 30);
    memory().write(Area::V, 100, Hex("12 34"));
    const Bytes poll3 = Hex("10 03 00 5C 5F 16");
    const std::int64_t t0 = 5'000'000;
    EXPECT_EQ(bus.onFrame(Parse(kReadVW100), t0)->bytes, Bytes{kSC});
    // Polled early, twice: SC each time, and the answer stays pending.
    EXPECT_EQ(bus.onFrame(Parse(kPoll2), t0 + 1'000)->bytes, Bytes{kSC});
    EXPECT_EQ(bus.onFrame(Parse(kPoll2), t0 + 29'999)->bytes, Bytes{kSC});
    EXPECT_EQ(bus.onFrame(Parse(kPoll2), t0 + 30'000)->bytes,
              Hex("68 17 17 68 00 02 08 32 03 00 00 00 00 00 02 00 06 00 00 04 01 FF 04 00 10 12 34 A5 16"));
    EXPECT_EQ(bus.onFrame(Parse(kPoll2), t0 + 30'001)->bytes, Bytes{kSC});
    // Station 3 keeps the default: ready at once.
    bus.onFrame(Parse(Request(3, kFunctionRead, kTransportByte, 1, kAreaCodeV, 0)), t0);
    EXPECT_EQ(bus.onFrame(Parse(poll3), t0)->bytes.size(), 28u);
}

}  // namespace
}  // namespace ppisim
