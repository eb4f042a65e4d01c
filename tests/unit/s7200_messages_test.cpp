// The S7 messages: request frames byte for byte, the response check and the
// decoding of read responses into the host's buffer.
#include <cstring>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "scripted_platform.h"
#include "ppi/s7200_messages.h"
#include "s7200_peer.h"

namespace plclink {
namespace {

using testing::Bytes;
using testing::Host;
using Lines = std::vector<std::string>;

const Bytes kWordResponse{0x68, 0x17, 0x17, 0x68, 0x00, 0x02, 0x08, 0x32, 0x03, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x06, 0x00, 0x00, 0x04,
                          0x01, 0xFF, 0x04, 0x00, 0x10, 0x12, 0x34, 0xA5, 0x16};
const Bytes kWriteResponse{0x68, 0x12, 0x12, 0x68, 0x00, 0x02, 0x08, 0x32, 0x03, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x05, 0x01, 0xFF, 0x47, 0x16};

// The FCS a frame should carry: bytes from DA through the last data byte.
std::uint8_t FrameChecksumOf(const Bytes& frame) {
    std::uint8_t sum = 0;
    for (std::size_t i = 4; i + 2 < frame.size(); ++i) sum = static_cast<std::uint8_t>(sum + frame[i]);
    return sum;
}

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { Host().reset(); }

    Bytes Tx() const {
        return Bytes(side.instance.txFrame, side.instance.txFrame + side.instance.txLength);
    }
    // Puts `frame` into rxFrame as a successful exchange leaves it, after a
    // read request for one element of the tag to station 2.
    void Received(const Bytes& frame) {
        ASSERT_EQ(SetS7200RdReq(&side.block, 1), 0);
        Arrived(frame);
    }
    // The same after the request now in txFrame. A frame that carries no
    // reference of its own gets the request's, as a controller echoes it
    // (its FCS moves along, so a wrong FCS stays wrong).
    void Arrived(Bytes frame) {
        if (frame.size() >= 21 && testing::ReferenceOf(frame) == 0) {
            const std::uint8_t* reference = side.instance.txFrame + 11;
            frame[11] = reference[0];
            frame[12] = reference[1];
            frame[frame.size() - 2] =
                static_cast<std::uint8_t>(frame[frame.size() - 2] + reference[0] + reference[1]);
        }
        std::memcpy(side.instance.rxFrame, frame.data(), frame.size());
        side.instance.rxLength = static_cast<std::uint32_t>(frame.size());
        Host().reset();
    }
    int Check() { return CheckResponse(&side.block); }
    std::uint16_t Slot() const {
        std::uint16_t v;
        std::memcpy(&v, side.buffer + 2, 2);
        return v;
    }
    std::uint32_t Long(std::size_t at) const {
        std::uint32_t v;
        std::memcpy(&v, side.buffer + at, 4);
        return v;
    }

    ScriptedPlatform platform;
    testing::DriverSide side{platform};
};

TEST(ItemCodes, TransportSizesAndAreaCodes) {
    EXPECT_EQ(TransportSizeOf(1), 0x02);
    EXPECT_EQ(TransportSizeOf(8), 0x02);
    EXPECT_EQ(TransportSizeOf(16), 0x04);
    EXPECT_EQ(TransportSizeOf(32), 0x06);
    EXPECT_EQ(TransportSizeOf(0), 0x04);
    EXPECT_EQ(TransportSizeOf(24), 0x04);
    EXPECT_EQ(AreaCodeOf('I'), 0x81);
    EXPECT_EQ(AreaCodeOf('Q'), 0x82);
    EXPECT_EQ(AreaCodeOf('M'), 0x83);
    EXPECT_EQ(AreaCodeOf('V'), 0x84);
    for (std::uint8_t letter : {'v', 'i', 'D', 'T', '\0', '\xFF'}) EXPECT_EQ(AreaCodeOf(letter), 0);
}

TEST_F(MessagesTest, AssociationRequest) {
    EXPECT_EQ(SetS7200EstablishAssociationReq(&side.block), 0);
    EXPECT_EQ(Tx(), (Bytes{0x68, 0x15, 0x15, 0x68, 0x02, 0x00, 0x6C, 0x32, 0x01, 0x00,
                           0x00, 0xCC, 0xC1, 0x00, 0x04, 0x00, 0x00, 0xF0, 0x00, 0x00,
                           0x01, 0x00, 0x01, 0x03, 0xC0, 0xE7, 0x16}));
}

// Each read or write request takes the next PDU reference of its instance
// (a fresh instance starts at 1), never 0 nor the association's 0xCCC1.
TEST_F(MessagesTest, ReadRequests) {
    side.instance.requestFc = 0;
    side.tag('V', 16, 100);
    EXPECT_EQ(SetS7200RdReq(&side.block, 1), 0);
    EXPECT_EQ(side.instance.requestFc, 0x7C);
    EXPECT_EQ(Tx(), (Bytes{0x68, 0x1B, 0x1B, 0x68, 0x02, 0x00, 0x7C, 0x32, 0x01, 0x00, 0x00,
                           0x00, 0x01, 0x00, 0x0E, 0x00, 0x00, 0x04, 0x01, 0x12, 0x0A, 0x10,
                           0x04, 0x00, 0x01, 0x00, 0x01, 0x84, 0x00, 0x03, 0x20, 0x9E, 0x16}));
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    EXPECT_EQ(testing::ReferenceOf(Tx()), 0x0002);
    side.instance.pduReference = 0xCCC0;
    ASSERT_EQ(SetS7200RdReq(&side.block, 1), 0);
    EXPECT_EQ(testing::ReferenceOf(Tx()), 0xCCC2);
    side.instance.pduReference = 0xFFFF;
    ASSERT_EQ(SetS7200RdReq(&side.block, 1), 0);
    EXPECT_EQ(testing::ReferenceOf(Tx()), 0x0001);
    EXPECT_EQ(Tx()[31], FrameChecksumOf(Tx()));

    // A block of double words of M at station 0x1F2 (low byte 0xF2); the
    // bit number is never added to a read address.
    side.record.plcNumber = 0x1F2;
    side.tag('M', 32, 1000, 5);
    ASSERT_EQ(SetS7200RdReq(&side.block, 7), 0);
    const Bytes tx = Tx();
    ASSERT_EQ(tx.size(), 33u);
    EXPECT_EQ(tx[4], 0xF2);
    EXPECT_EQ(Bytes(tx.begin() + 19, tx.begin() + 31),
              (Bytes{0x12, 0x0A, 0x10, 0x06, 0x00, 0x07, 0x00, 0x00, 0x83, 0x00, 0x1F, 0x40}));
    EXPECT_EQ(tx[31], FrameChecksumOf(tx));
}

// The item specification of the further areas: their area codes, data block
// 0, and the transport size and bit address as for I, Q, M and V. Compared
// from the item on, so that the header's reference plays no part.
TEST_F(MessagesTest, FurtherAreasInTheItemSpecification) {
    struct Case {
        std::uint8_t memArea;
        std::uint8_t bits;
        std::int32_t byteAddress;
        Bytes item;
    };
    const std::vector<Case> cases{
        {VPI_AREA_S, 8, 3, {0x12, 0x0A, 0x10, 0x02, 0x00, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x18}},
        {VPI_AREA_SM, 8, 28, {0x12, 0x0A, 0x10, 0x02, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x00, 0xE0}},
        {VPI_AREA_SM, 32, 4, {0x12, 0x0A, 0x10, 0x06, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x00, 0x20}},
        {VPI_AREA_AI, 16, 0, {0x12, 0x0A, 0x10, 0x04, 0x00, 0x01, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00}},
        {VPI_AREA_AQ, 16, 62, {0x12, 0x0A, 0x10, 0x04, 0x00, 0x01, 0x00, 0x00, 0x07, 0x00, 0x01, 0xF0}},
    };
    for (const Case& c : cases) {
        side.tag('V', c.bits, c.byteAddress);
        side.record.memArea = c.memArea;
        ASSERT_EQ(SetS7200RdReq(&side.block, 1), 0);
        const Bytes tx = Tx();
        ASSERT_EQ(tx.size(), 33u);
        EXPECT_EQ(Bytes(tx.begin() + 19, tx.begin() + 31), c.item) << int{c.memArea};
        EXPECT_EQ(tx[31], FrameChecksumOf(tx));
    }
    // A bit of S: bit address byte x 8 + bit, transport size bit.
    side.tag('V', 8, 1, 1);
    side.record.memArea = VPI_AREA_S;
    side.buffer[2] = 1;
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    const Bytes bitWrite = Tx();
    EXPECT_EQ(Bytes(bitWrite.begin() + 19, bitWrite.begin() + 36),
              (Bytes{0x12, 0x0A, 0x10, 0x01, 0x00, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x09, 0x00,
                     0x03, 0x00, 0x01, 0x01}));
}

TEST_F(MessagesTest, WriteRequests) {
    side.tag('M', 8, 10);
    side.buffer[0] = 0x77;  // plays no part in a single byte
    side.buffer[2] = 0x5A;
    side.buffer[3] = 0x12;
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    EXPECT_EQ(Tx(), (Bytes{0x68, 0x20, 0x20, 0x68, 0x02, 0x00, 0x7C, 0x32, 0x01, 0x00, 0x00, 0x00,
                           0x01, 0x00, 0x0E, 0x00, 0x05, 0x05, 0x01, 0x12, 0x0A, 0x10, 0x02, 0x00,
                           0x01, 0x00, 0x00, 0x83, 0x00, 0x00, 0x50, 0x00, 0x04, 0x00, 0x08, 0x5A,
                           0x33, 0x16}));

    const Bytes bitWrite{0x68, 0x20, 0x20, 0x68, 0x02, 0x00, 0x7C, 0x32, 0x01, 0x00, 0x00, 0x00, 0x01,
                         0x00, 0x0E, 0x00, 0x05, 0x05, 0x01, 0x12, 0x0A, 0x10, 0x01, 0x00, 0x01, 0x00,
                         0x00, 0x82, 0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x01, 0x01, 0x83, 0x16};
    side.tag('Q', 8, 0, 3);
    std::memset(side.buffer, 0, 4);
    side.buffer[2] = 1;
    side.instance.pduReference = 0;
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    EXPECT_EQ(Tx(), bitWrite);
    side.buffer[2] = 0;
    side.buffer[3] = 1;  // 0x0100: the whole word is tested
    side.instance.pduReference = 0;
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    EXPECT_EQ(Tx(), bitWrite);
    side.buffer[3] = 0;
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    EXPECT_EQ(Tx()[35], 0x00);
}

TEST_F(MessagesTest, WriteValueLayouts) {
    // Single word from valueSlot; single double word from the buffer start.
    side.tag('V', 16, 4);
    const std::uint32_t dword = 0xA1B2C3D4;
    std::memcpy(side.buffer, &dword, 4);
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    Bytes tx = Tx();
    ASSERT_EQ(tx.size(), 39u);
    EXPECT_EQ(tx[1], 33);
    EXPECT_EQ(Bytes(tx.begin() + 31, tx.begin() + 37), (Bytes{0x00, 0x04, 0x00, 0x10, 0xA1, 0xB2}));
    EXPECT_EQ(tx[25], 0x00);
    EXPECT_EQ(tx[26], 0x01);  // V is data block 1

    side.tag('I', 32, 8);
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    tx = Tx();
    ASSERT_EQ(tx.size(), 41u);
    EXPECT_EQ(Bytes(tx.begin() + 31, tx.begin() + 39),
              (Bytes{0x00, 0x04, 0x00, 0x20, 0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(Bytes(tx.begin() + 27, tx.begin() + 31), (Bytes{0x81, 0x00, 0x00, 0x40}));

    // Blocks run from the buffer start in host order.
    const std::uint16_t words[3] = {0x0102, 0x0304, 0x0506};
    std::memcpy(side.buffer, words, sizeof words);
    side.tag('V', 16, 20);
    ASSERT_EQ(SetS7200WrReq(&side.block, 3), 0);
    tx = Tx();
    ASSERT_EQ(tx.size(), 43u);
    EXPECT_EQ(tx[1], 37);
    EXPECT_EQ(Bytes(tx.begin() + 15, tx.begin() + 17), (Bytes{0x00, 0x0A}));  // dat_lg
    EXPECT_EQ(Bytes(tx.begin() + 23, tx.begin() + 25), (Bytes{0x00, 0x03}));  // count
    EXPECT_EQ(Bytes(tx.begin() + 31, tx.begin() + 41),
              (Bytes{0x00, 0x04, 0x00, 0x30, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    EXPECT_EQ(tx[41], FrameChecksumOf(tx));

    // The block layout also for one element.
    ASSERT_EQ(SetS7200WrReq(&side.block, 1, ValueLayout::kBlock), 0);
    tx = Tx();
    ASSERT_EQ(tx.size(), 39u);
    EXPECT_EQ(Bytes(tx.begin() + 35, tx.begin() + 37), (Bytes{0x01, 0x02}));

    // A bit block sends each byte as 0 or 1; the length stays one bit.
    const std::uint8_t bits[3] = {0x00, 0x80, 0x01};
    std::memcpy(side.buffer, bits, 3);
    side.tag('M', 8, 2, 6);
    ASSERT_EQ(SetS7200WrReq(&side.block, 3), 0);
    tx = Tx();
    EXPECT_EQ(Bytes(tx.begin() + 28, tx.begin() + 38),
              (Bytes{0x00, 0x00, 0x16, 0x00, 0x03, 0x00, 0x01, 0x00, 0x01, 0x01}));

    // A bit tag of a word addresses bit n of the word's first byte.
    side.tag('V', 16, 6, 2);
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    tx = Tx();
    EXPECT_EQ(tx[22], 0x01);
    EXPECT_EQ(Bytes(tx.begin() + 28, tx.begin() + 31), (Bytes{0x00, 0x00, 0x32}));
}

TEST_F(MessagesTest, BuildersRefuseWhatTheyCannotBuild) {
    side.tag('D', 16, 0);
    side.instance.txLength = 5;
    side.instance.txFrame[0] = 0xAB;
    EXPECT_EQ(SetS7200RdReq(&side.block, 1), 1);
    EXPECT_EQ(SetS7200WrReq(&side.block, 1), 1);
    side.tag('V', 24, 0);
    EXPECT_EQ(SetS7200WrReq(&side.block, 1), 1);
    side.tag('V', 16, 0);
    EXPECT_EQ(SetS7200WrReq(&side.block, 113), 1);  // 31 + 226 > 255
    EXPECT_EQ(SetS7200WrReq(&side.block, 0), 1);
    EXPECT_EQ(side.instance.txLength, 5);
    EXPECT_EQ(side.instance.txFrame[0], 0xAB);
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: SetS7200RdReq() wrong memArea 'D' size: 16",
                                     "VpiK701: SetS7200WrReq() worng memArea 'D' size: 16",
                                     "VpiK701: SetS7200WrReq FAIL (wrong item_size: 3)",
                                     "VpiK701: SetS7200WrReq FAIL (count: 113)",
                                     "VpiK701: SetS7200WrReq FAIL (count: 0)"}));
    for (const auto& line : Host().log) EXPECT_EQ(line.category, 32);

    Host().reset();
    for (std::int32_t address : {-1, 0x200000}) {
        side.tag('V', 8, address);
        EXPECT_EQ(SetS7200RdReq(&side.block, 1), 1);
        EXPECT_EQ(SetS7200WrReq(&side.block, 1), 1);
    }
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: SetS7200RdReq() wrong address: -1",
                                     "VpiK701: SetS7200WrReq() wrong address: -1",
                                     "VpiK701: SetS7200RdReq() wrong address: 2097152",
                                     "VpiK701: SetS7200WrReq() wrong address: 2097152"}));
    EXPECT_EQ(side.instance.txLength, 5);

    // The largest write that fits: 112 words, LE 255.
    side.tag('V', 16, 0);
    ASSERT_EQ(SetS7200WrReq(&side.block, 112), 0);
    EXPECT_EQ(side.instance.txLength, 261);
    EXPECT_EQ(side.instance.txFrame[1], 255);
}

TEST_F(MessagesTest, ExampleResponsesPass) {
    Received(kWordResponse);
    EXPECT_EQ(Check(), 0);
    side.tag('M', 8, 10);
    ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
    Arrived(kWriteResponse);
    EXPECT_EQ(Check(), 0);
    // An association's answer passes whatever its parameters hold.
    SetS7200EstablishAssociationReq(&side.block);
    Arrived(testing::ResponseFrame(2, {0x00, 0x07, 0x99}, {}));
    EXPECT_EQ(Check(), 0);
    EXPECT_TRUE(Host().log.empty());
}

// A response that passes every frame test but answers another request: a
// write's answer to a read, a double word for a word, a late block, a frame
// whose LE disagrees with its length.
TEST_F(MessagesTest, ResponsesMustAnswerTheirRequest) {
    using testing::ResponseFrame;
    const Bytes writeAnswer = ResponseFrame(2, {0x05, 0x01}, {0xFF});
    const Bytes wordAnswer = ResponseFrame(2, {0x04, 0x01}, {0xFF, 0x04, 0x00, 0x10, 0xDE, 0xAD});
    const Bytes dwordAnswer =
        ResponseFrame(2, {0x04, 0x01}, {0xFF, 0x04, 0x00, 0x20, 0xDE, 0xAD, 0xBE, 0xEF});
    const Bytes noData = ResponseFrame(2, {0x04, 0x01}, {});
    Bytes badBitLength = wordAnswer;
    badBitLength[24] = 0x20;
    badBitLength[27] = static_cast<std::uint8_t>(badBitLength[27] + 0x10);
    Bytes longParams = ResponseFrame(2, {0x04, 0x01, 0x00}, {0xFF, 0x04, 0x00, 0x10, 0xDE, 0xAD});
    Bytes badLe = wordAnswer;
    badLe[1] = badLe[2] = 0x16;

    struct Case {
        int request;  // 0 read one word, 1 read three words, 2 write one word
        Bytes response;
        const char* line;
    };
    const std::vector<Case> cases{
        {0, writeAnswer, "VpiK701: Check Responed FAIL (function 5, expected 4)"},
        {0, dwordAnswer, "VpiK701: Check Responed FAIL (dat_lg 8, expected 6)"},
        {0, noData, "VpiK701: Check Responed FAIL (dat_lg 0, expected 6)"},
        {0, badBitLength, "VpiK701: Check Responed FAIL (data length 32, expected 16)"},
        {0, longParams, "VpiK701: Check Responed FAIL (par_lg 3, expected 2)"},
        {0, badLe, "VpiK701: Check Responed FAIL (LE 22, expected 23)"},
        {1, wordAnswer, "VpiK701: Check Responed FAIL (dat_lg 6, expected 10)"},
        {2, wordAnswer, "VpiK701: Check Responed FAIL (function 4, expected 5)"},
        {2, ResponseFrame(2, {0x05, 0x01}, {0xFF, 0xFF}),
         "VpiK701: Check Responed FAIL (dat_lg 2, expected 1)"},
        {2, ResponseFrame(2, {0x05, 0x01}, {}), "VpiK701: Check Responed FAIL (dat_lg 0, expected 1)"},
        // A late answer of the same shape: only its reference tells it apart.
        {0, ResponseFrame(2, {0x04, 0x01}, {0xFF, 0x04, 0x00, 0x10, 0xDE, 0xAD}, 0x0005),
         "VpiK701: Check Responed FAIL (reference 0005, expected 000b)"},
    };
    for (const Case& c : cases) {
        side.tag('V', 16, 0);
        if (c.request == 2) {
            ASSERT_EQ(SetS7200WrReq(&side.block, 1), 0);
        } else {
            ASSERT_EQ(SetS7200RdReq(&side.block, c.request == 0 ? 1 : 3), 0);
        }
        Arrived(c.response);
        EXPECT_EQ(Check(), 1) << c.line;
        EXPECT_EQ(Host().texts(), Lines{c.line});
    }
    // The same frames pass where they answer the request.
    ASSERT_EQ(SetS7200RdReq(&side.block, 1), 0);
    Arrived(wordAnswer);
    EXPECT_EQ(Check(), 0);
    side.tag('V', 32, 0);
    ASSERT_EQ(SetS7200RdReq(&side.block, 1), 0);
    Arrived(dwordAnswer);
    EXPECT_EQ(Check(), 0);
    // A refused access is reported as such, whatever its size.
    side.tag('V', 16, 0);
    ASSERT_EQ(SetS7200RdReq(&side.block, 1), 0);
    Arrived(ResponseFrame(2, {0x04, 0x01}, {0x0A, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Host().texts(), Lines{"VpiK701: Check Responed FAIL (access_result: 0a)"});
}

struct Corruption {
    std::size_t at;
    std::uint8_t value;
    const char* line;
};

TEST_F(MessagesTest, EveryCheckHasItsLine) {
    const std::vector<Corruption> cases{
        {0, 0x69, "VpiK701: Check Responed FAIL (SD2 header)"},
        {2, 0x18, "VpiK701: Check Responed FAIL (SD2 header)"},
        {3, 0x67, "VpiK701: Check Responed FAIL (SD2 header)"},
        {4, 0x01, "VpiK701: Check Responed FAIL (SD2 header)"},
        {5, 0x03, "VpiK701: Check Responed FAIL (SD2 header)"},
        {6, 0x28, "VpiK701: Check Responed FAIL (SD2 header)"},
        {7, 0x33, "VpiK701: Check Responed FAIL (PPI Rsp. header error)"},
        {17, 0x81, "VpiK701: Check Responed FAIL (PPI Rsp. header error)"},
        {18, 0x04, "VpiK701: Check Responed FAIL (PPI Rsp. header error)"},
        {16, 0x05, "VpiK701: Check Responed FAIL (length error)"},
        {26, 0x35, "VpiK701: Check Responed FAIL (FCS)"},
        {27, 0xA6, "VpiK701: Check Responed FAIL (FCS)"},
        {28, 0x17, "VpiK701: Check Responed FAIL (FCS)"},
        {20, 0x02, "VpiK701: Check Responed FAIL (num_of_vars != 1)"},
        {21, 0x0A, "VpiK701: Check Responed FAIL (access_result: 0a)"},
    };
    for (const Corruption& c : cases) {
        Bytes frame = kWordResponse;
        frame[c.at] = c.value;
        // Later tests see a frame whose checksum fits the change.
        if (c.at < 26 && c.at >= 4) frame[27] = static_cast<std::uint8_t>(frame[27] - kWordResponse[c.at] + c.value);
        Received(frame);
        EXPECT_EQ(Check(), 1) << c.at;
        EXPECT_EQ(Host().texts(), Lines{c.line}) << c.at;
    }
    Received(Bytes(kWordResponse.begin(), kWordResponse.begin() + 20));
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Host().texts(), Lines{"VpiK701: Check Responed FAIL (minimum length error: 20)"});
}

TEST_F(MessagesTest, DecodesSingleValues) {
    side.tag('V', 16, 100);
    Received(kWordResponse);
    std::memset(side.buffer, 0xEE, 8);
    ASSERT_EQ(GetS7200RdRsp(&side.block, 1), 0);
    EXPECT_EQ(Slot(), 0x1234);
    EXPECT_EQ(side.buffer[0], 0xEE);

    // A bit of a word is taken from the host-order word: bits 0..7 from the
    // controller's second byte.
    for (std::uint32_t bit : {2u, 3u, 12u, 15u}) {
        side.tag('V', 16, 100, bit);
        ASSERT_EQ(GetS7200RdRsp(&side.block, 1), 0);
        EXPECT_EQ(Slot(), (0x1234 >> bit) & 1) << bit;
    }

    // A byte widens with zeros; a double word covers bytes 0..3.
    side.tag('M', 8, 0);
    Received(testing::ResponseFrame(2, {0x04, 0x01}, {0xFF, 0x04, 0x00, 0x08, 0xC3}));
    ASSERT_EQ(GetS7200RdRsp(&side.block, 1), 0);
    EXPECT_EQ(Slot(), 0x00C3);
    side.tag('M', 32, 0);
    Received(testing::ResponseFrame(2, {0x04, 0x01}, {0xFF, 0x04, 0x00, 0x20, 0xDE, 0xAD, 0xBE, 0xEF}));
    ASSERT_EQ(GetS7200RdRsp(&side.block, 1), 0);
    EXPECT_EQ(Long(0), 0xDEADBEEFu);
    EXPECT_EQ(Slot(), 0xDEAD);
}

TEST_F(MessagesTest, DecodesBlocks) {
    side.instance.blockMode = 1;
    std::memset(side.buffer, 0xEE, sizeof side.buffer);
    side.tag('V', 16, 0, 3);  // no bit is taken out of a block
    Received(testing::ResponseFrame(2, {0x04, 0x01},
                                    {0xFF, 0x04, 0x00, 0x30, 0x00, 0x01, 0xAB, 0xCD, 0x80, 0x00}));
    ASSERT_EQ(GetS7200RdRsp(&side.block, 3), 0);
    std::uint16_t words[4];
    std::memcpy(words, side.buffer, sizeof words);
    EXPECT_EQ(words[0], 0x0001);
    EXPECT_EQ(words[1], 0xABCD);
    EXPECT_EQ(words[2], 0x8000);
    EXPECT_EQ(words[3], 0xEEEE);

    side.tag('I', 8, 0);
    Received(testing::ResponseFrame(2, {0x04, 0x01}, {0xFF, 0x04, 0x00, 0x10, 0x11, 0x22}));
    ASSERT_EQ(GetS7200RdRsp(&side.block, 2), 0);
    EXPECT_EQ(side.buffer[0], 0x11);
    EXPECT_EQ(side.buffer[1], 0x22);
}

TEST_F(MessagesTest, DecoderRefusalsStoreNothing) {
    struct Case {
        Bytes data;
        std::uint8_t bits;
        std::int32_t count;
        const char* line;
    };
    const std::vector<Case> cases{
        {{}, 16, 1, "VpiK701: GetS7200RdRsp FAIL (dat_lg == 0)"},
        {{0xFF, 0x03, 0x00, 0x01, 0x01}, 16, 1, "VpiK701: GetS7200RdRsp FAIL (data_type != 0x04)"},
        {{0xFF, 0x04, 0x00, 0x18, 1, 2, 3}, 24, 1, "VpiK701: GetS7200RdRsp FAIL (wrong item_size: 3)"},
        {{0xFF, 0x04, 0x00, 0x10, 0x12}, 16, 1, "VpiK701: GetS7200RdRsp FAIL (data length)"},
        {{0xFF, 0x04, 0x00, 0x30, 1, 2, 3, 4, 5}, 16, 3, "VpiK701: GetS7200RdRsp FAIL (data length)"},
        {{0xFF, 0x04, 0x00}, 8, 1, "VpiK701: GetS7200RdRsp FAIL (data length)"},
    };
    for (std::uint32_t mode : {0u, 1u}) {
        side.instance.blockMode = mode;
        for (const Case& c : cases) {
            side.tag('V', c.bits, 0);
            Received(testing::ResponseFrame(2, {0x04, 0x01}, c.data));
            std::memset(side.buffer, 0xEE, sizeof side.buffer);
            EXPECT_EQ(GetS7200RdRsp(&side.block, c.count), 1) << c.line;
            EXPECT_EQ(Host().texts(), Lines{c.line});
            for (std::uint8_t b : side.buffer) ASSERT_EQ(b, 0xEE) << c.line;
        }
    }
}

}  // namespace
}  // namespace plclink
