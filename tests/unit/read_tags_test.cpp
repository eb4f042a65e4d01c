// Command 20: packing tags into multi-item requests at the S7-200's limits,
// and reading them against a scripted station, tag by tag as command 5
// would.
#include <algorithm>
#include <array>
#include <cstring>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "ppi/item_packing.h"
#include "s7200_peer.h"
#include "scripted_platform.h"

namespace plclink {
namespace {

using testing::Bytes;
using testing::Host;
using Lines = std::vector<std::string>;

TagRead Tag(std::uint8_t area, std::uint32_t byteAddress, std::uint32_t bytes, std::uint8_t station = 2) {
    const std::uint8_t transport = bytes == 1 ? 0x02 : bytes == 2 ? 0x04 : 0x06;
    return TagRead{station, area, static_cast<std::uint16_t>(area == 0x84 ? 1 : 0), transport, byteAddress, bytes};
}

std::vector<ReadRequest> Pack(const std::vector<TagRead>& tags, bool merge = true) {
    std::vector<std::size_t> all(tags.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return PackReads(tags, all, merge);
}

// V bytes from 0 in steps of 16 (close enough to share an item) up to `last`.
std::vector<TagRead> ChainTo(std::uint32_t last) {
    std::vector<TagRead> tags;
    for (std::uint32_t at = 0; at < last; at += 16) tags.push_back(Tag(0x84, at, 1));
    tags.push_back(Tag(0x84, last, 1));
    return tags;
}

TEST(ItemPacking, NineteenItemsFitOneRequestAndTheAnswerLimitCountsFillBytes) {
    std::vector<TagRead> words;
    for (std::uint32_t i = 0; i < 20; ++i) words.push_back(Tag(0x84, i * 200, 2));
    const auto twenty = Pack(words);
    ASSERT_EQ(twenty.size(), 2u);
    EXPECT_EQ(twenty[0].items.size(), 19u);
    EXPECT_EQ(twenty[1].items.size(), 1u);
    words.pop_back();
    EXPECT_EQ(Pack(words).size(), 1u);

    // A 216-byte item and a word: an answer of exactly 240 bytes.
    auto fits = ChainTo(215);
    fits.push_back(Tag(0x84, 1000, 2));
    ASSERT_EQ(Pack(fits).size(), 1u);
    EXPECT_EQ(AnswerMessageBytes(Pack(fits)[0].items), 240u);
    // A 217-byte item needs a fill byte before a byte item: 241, one too many.
    auto over = ChainTo(216);
    over.push_back(Tag(0x84, 1000, 1));
    const auto split = Pack(over);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[0].items[0].bytes, 217u);
    EXPECT_EQ(AnswerMessageBytes(split[0].items), 14u + 4u + 217u);
    // No merged item outgrows an answer of its own.
    const auto chain = Pack(ChainTo(400));
    for (const ReadItem& item : chain[0].items) EXPECT_LE(item.bytes, 222u);
}

TEST(ItemPacking, MergesCloseTagsOfOneAreaAndStationOnly) {
    // Bit and byte of one byte, a word 16 bytes on, the same word at station
    // 3, an analog input pair, and two neighbours in an area not declared
    // mergeable.
    const auto requests = Pack({Tag(0x84, 10, 1), Tag(0x84, 10, 1), Tag(0x84, 27, 2),
                                Tag(0x84, 27, 2, 3), Tag(0x06, 4, 2), Tag(0x06, 0, 2),
                                Tag(0x1F, 0, 2), Tag(0x1F, 2, 2), Tag(0x84, 46, 2)});
    ASSERT_EQ(requests.size(), 2u);
    ASSERT_EQ(requests[0].items.size(), 5u);
    const ReadItem& ai = requests[0].items[0];
    EXPECT_EQ(ai.areaCode, 0x06);
    EXPECT_EQ(ai.transport, 0x04);  // analog inputs merge in words
    EXPECT_EQ(ai.count, 3u);
    EXPECT_EQ(requests[0].items[1].tags.size(), 1u);  // 0x1F: never merged
    EXPECT_EQ(requests[0].items[2].tags.size(), 1u);
    const ReadItem& v = requests[0].items[3];
    EXPECT_EQ(v.tags, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(v.transport, 0x02);
    EXPECT_EQ(v.byteAddress, 10u);
    EXPECT_EQ(v.count, 19u);
    EXPECT_EQ(requests[0].items[4].tags, std::vector<std::size_t>{8});  // 17 bytes after the word: alone
    EXPECT_EQ(requests[1].station, 3);
    // Unmerged, a lone tag's item is exactly that of a single read of it.
    const auto alone = Pack({Tag(0x84, 27, 2)}, false);
    const ReadItem& lone = alone[0].items[0];
    EXPECT_EQ(lone.transport, 0x04);
    EXPECT_EQ(lone.count, 1u);
}

class ReadTagsTest : public ::testing::Test {
protected:
    static constexpr int kTags = 8;

    void SetUp() override {
        Host().reset();
        for (int i = 0; i < 1024; ++i) peer.area('V')[i] = static_cast<std::uint8_t>(i * 7 + 1);
        peer.area('M')[5] = 0xA5;
        // VW100, VB103 (odd), bit 3 and the byte of VB104, VD200, MB5, its bit 7, SMW2.
        Set(0, 'V', 16, 50);
        Set(1, 'V', 8, 103);
        Set(2, 'V', 8, 104, 3);
        Set(3, 'V', 8, 104);
        Set(4, 'V', 32, 50);
        Set(5, 'M', 8, 5);
        Set(6, 'M', 8, 5, 7);
        Set(7, static_cast<char>(VPI_AREA_SM), 16, 1);
    }
    void Set(int i, char area, std::uint8_t bits, std::int32_t index, std::uint32_t bit = VPI_NO_BIT) {
        TagAccessRecord& t = tags[i];
        t = TagAccessRecord{};
        t.plcNumber = 2;
        t.memArea = static_cast<std::uint8_t>(area);
        t.memAreaBits = bits;
        t.sizeBits = bits;
        t.elementIndex = index;
        t.bitNumber = bit;
        t.dataBuffer = buffers[i].data();
        buffers[i].fill(0xEE);
    }
    std::int32_t ReadTags(int count = kTags) {
        ReadTagsRecord record{count, tags.data(), results.data(), 0};
        side.block.command = VPI_READ_TAGS;
        side.block.params = &record;
        const std::int32_t result = VpiMain(&side.block);
        requests = record.requests;
        return result;
    }
    // What command 5 leaves in the buffer of tag `i`.
    std::array<std::uint8_t, 4> SingleRead(int i) {
        TagAccessRecord single = tags[i];
        std::array<std::uint8_t, 4> buffer{};
        single.dataBuffer = buffer.data();
        side.block.command = VPI_READ_VALUE;
        side.block.params = &single;
        EXPECT_EQ(VpiMain(&side.block), 0);
        return buffer;
    }
    std::array<std::uint8_t, 4> Value(int i) const { return buffers[i]; }

    ScriptedPlatform platform;
    testing::DriverSide side{platform};
    testing::S7200Peer peer{platform, 2};
    std::array<TagAccessRecord, kTags> tags{};
    std::array<std::array<std::uint8_t, 4>, kTags> buffers{};
    std::array<std::int32_t, kTags> results{};
    std::uint32_t requests = 0;
};

TEST_F(ReadTagsTest, OneRequestGivesEachTagWhatASingleReadGives) {
    ASSERT_EQ(ReadTags(), 0);
    EXPECT_EQ(requests, 1u);
    ASSERT_EQ(peer.requests.size(), 1u);
    EXPECT_EQ(peer.requests[0][18], 4);  // items: SM, M, V 100..107, V 200
    EXPECT_TRUE(Host().log.empty());
    for (int i = 0; i < kTags; ++i) {
        EXPECT_EQ(results[i], 0) << i;
        EXPECT_EQ(Value(i), SingleRead(i)) << "tag " << i;
    }
    EXPECT_EQ(Value(6)[2], 1);  // MB5 bit 7 of 0xA5
}

TEST_F(ReadTagsTest, RefusedItemsFailOnlyTheirOwnTags) {
    Set(1, 'V', 8, 1030);  // beyond the station's 1024 bytes, merged with...
    Set(3, 'V', 8, 1020);  // ...a byte it has
    Set(4, 'V', 32, 600);  // beyond, alone
    EXPECT_EQ(ReadTags(), 1);
    // The refused merged item is read again one item per tag.
    EXPECT_EQ(requests, 2u);
    EXPECT_EQ(results, (std::array<std::int32_t, kTags>{0, 1, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Value(3), SingleRead(3));
    EXPECT_EQ(Value(1), (std::array<std::uint8_t, 4>{}));
    Host().reset();
    ReadTags();
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: ReadTags() tag 4 (PLC 2) FAIL (access_result: 0a)",
                                     "VpiK701: ReadTags() tag 1 (PLC 2) FAIL (access_result: 0a)"}));
}

TEST_F(ReadTagsTest, AnItemOfTheWrongLengthRefusesTheWholeAnswer) {
    // The second item (M) one byte short in its head's length, three times.
    peer.rewrite = [](Bytes& response) { response[21 + 6 + 3] = 0x00; };
    EXPECT_EQ(ReadTags(), 1);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: Check Responed FAIL (item 2 data length 0, expected 8)")));
    for (int i = 0; i < kTags; ++i) {
        EXPECT_EQ(results[i], 1);
        EXPECT_EQ(Value(i), (std::array<std::uint8_t, 4>{})) << i;
    }
    // A missing fill byte, once: the next attempt is served.
    Host().reset();
    peer.requests.clear();
    int left = 1;
    peer.rewrite = [&left](Bytes& response) {
        if (left-- <= 0) return;
        response.erase(response.begin() + 21 + 6 + 4 + 1);
        --response[1];
        --response[2];
        --response[16];  // dat_lg
    };
    EXPECT_EQ(ReadTags(), 0);
    EXPECT_EQ(peer.requests.size(), 2u);
    EXPECT_EQ(Host().texts().size(), 1u);
    EXPECT_EQ(Value(0), SingleRead(0));
}

// Timers and counters among words: each an item of its own by number with
// the area code as its transport size, even beside the next timer; the value
// is the last two bytes of its record. A record of the wrong size refuses
// the whole answer.
TEST_F(ReadTagsTest, TimersAndCountersAreItemsOfTheirOwnCheckedByTheirRecords) {
    Bytes& timers = peer.area(static_cast<char>(VPI_AREA_T));
    std::fill(timers.begin(), timers.end(), 0xAA);  // status bytes: never read
    timers[37 * 5 + 3] = 0x04;
    timers[37 * 5 + 4] = 0xD2;                        // T37 = 1234
    Bytes& counters = peer.area(static_cast<char>(VPI_AREA_C));
    counters[12 * 3 + 1] = 0xFF;
    counters[12 * 3 + 2] = 0xFB;                      // C12 = -5
    Set(1, static_cast<char>(VPI_AREA_T), 16, 37);
    Set(2, static_cast<char>(VPI_AREA_T), 16, 38);
    Set(3, static_cast<char>(VPI_AREA_C), 16, 12);
    ASSERT_EQ(ReadTags(4), 0);
    ASSERT_EQ(peer.requests.size(), 1u);
    const Bytes& request = peer.requests[0];
    ASSERT_EQ(request[18], 4);  // C12, T37, T38, VW100
    EXPECT_EQ(Bytes(request.begin() + 19, request.begin() + 43),
              (Bytes{0x12, 0x0A, 0x10, 0x1E, 0x00, 0x01, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x0C,
                     0x12, 0x0A, 0x10, 0x1F, 0x00, 0x01, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x25}));
    EXPECT_EQ(results, (std::array<std::int32_t, kTags>{}));
    const auto word = [this](int i) { return static_cast<std::int16_t>(Value(i)[2] | Value(i)[3] << 8); };
    EXPECT_EQ(word(1), 1234);
    EXPECT_EQ(word(2), static_cast<std::int16_t>(0xAAAA));
    EXPECT_EQ(word(3), -5);
    EXPECT_EQ(Value(0), SingleRead(0));
    // Twenty timers: nineteen items of 5 bytes and their fill bytes, then one.
    std::vector<TagRead> twenty(20, TagRead{2, 0x1F, 0, 0x1F, 0, 5});
    for (std::uint32_t i = 0; i < 20; ++i) twenty[i].byteAddress = i;
    const auto packed = Pack(twenty);
    ASSERT_EQ(packed.size(), 2u);
    EXPECT_EQ(AnswerMessageBytes(packed[0].items), 14u + 19u * 9u + 18u);

    // T37 answered with a 2-byte record, as a word would be: refused whole, three times.
    Host().reset();
    peer.requests.clear();
    peer.rewrite = [](Bytes& response) {
        response[21 + 3] = 2;                                            // length in bytes
        response.erase(response.begin() + 21 + 4, response.begin() + 21 + 7);  // 3 record bytes
        response.erase(response.begin() + 21 + 6);                       // its fill byte
        response[1] = response[2] = static_cast<std::uint8_t>(response[1] - 4);
        response[16] = static_cast<std::uint8_t>(response[16] - 4);     // dat_lg
    };
    EXPECT_EQ(ReadTags(2), 1);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(Host().texts(), (Lines(3, "VpiK701: Check Responed FAIL (item 1 data length 2, expected 5)")));
    EXPECT_EQ(results[0], 1);
    EXPECT_EQ(results[1], 1);
    EXPECT_EQ(word(1), 0);
}

TEST_F(ReadTagsTest, LinkFailuresAndBadRecordsGiveTheirCodes) {
    // A broken frame: the association goes to the request's station, then
    // the request again.
    peer.next({testing::S7200Peer::Answer::kToken});
    EXPECT_EQ(ReadTags(), 0);
    EXPECT_EQ(peer.associations, 1);
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(Value(0), SingleRead(0));

    Host().reset();
    peer.requests.clear();
    peer.otherwise = testing::S7200Peer::Answer::kSilent;
    Set(7, 'D', 16, 1);  // no such area: refused before anything is sent
    EXPECT_EQ(ReadTags(), 2);
    EXPECT_EQ(peer.requests.size(), 3u);  // one request, three attempts
    EXPECT_EQ(results, (std::array<std::int32_t, kTags>{2, 2, 2, 2, 2, 2, 2, 1}));
    EXPECT_EQ(Host().texts()[0], "VpiK701: ReadTags() tag 7 FAIL (wrong memArea 'D' size: 16)");

    Host().reset();
    EXPECT_EQ(ReadTags(0), 1);
    EXPECT_EQ(ReadTags(VPI_READ_TAGS_MAX + 1), 1);
    EXPECT_EQ(Host().texts(), (Lines{"VpiK701: ReadTags() FAIL (tagCount: 0)",
                                     "VpiK701: ReadTags() FAIL (tagCount: 4097)"}));
}

}  // namespace
}  // namespace plclink
