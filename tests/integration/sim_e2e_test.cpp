// The module end to end against ppi-sim on a pseudo-terminal: tags parsed
// with commands 3 and 4, then written and read back with commands 5, 6, 7
// and 10 through VpiMain, over the real serial layer and the real clock.
// The simulator is a separate peer written from the protocol, so these
// tests also catch mistakes that the driver's own unit tests would share
// with a scripted station (byte order, addresses, frame lengths).
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entry/command_handlers.h"
#include "core/vpi_instance.h"
#include "fake_host.h"
#include "sim_process.h"

namespace plclink {
namespace {

using Texts = std::vector<std::string>;

constexpr std::int32_t kGateByteOrWord = 0;
constexpr std::int32_t kGateDouble = 4;
constexpr std::int32_t kGateBit = 6;

// The words that make up one tag's record for the read and write commands.
struct Tag {
    std::int32_t plcNumber = 0;
    std::uint8_t memArea = 0;
    std::uint8_t memAreaBits = 0;
    std::int32_t elementIndex = 0;
    std::uint32_t bitNumber = VPI_NO_BIT;
    std::int32_t sizeBits = 0;
};

std::string TestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

class SimEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
    }
    void TearDown() override {
        VpiCallBlock block{&instance, VPI_END_VPI, 1, 0, nullptr};
        if (started_) VpiMain(&block);
        if (sim_) sim_->stop();
    }

    // Starts ppi-sim with `options` (station 2 unless they say otherwise)
    // and the instance on the port it names, with a read time-out of 200 ms
    // unless `readTimeoutTenMs` says otherwise.
    void Start(std::vector<std::string> options = {}, std::uint16_t readTimeoutTenMs = 20) {
        if (std::find(options.begin(), options.end(), "--station") == options.end())
            options.insert(options.end(), {"--station", "2"});
        options.insert(options.end(), {"--trace", "--exit-after", "120"});
        sim_ = std::make_unique<kit::SimProcess>(PPI_SIM_PATH, options, "sim-" + TestName() + ".trace");
        ASSERT_TRUE(sim_->running());
        ColdStartRequest request{};
        ASSERT_LT(sim_->portName().size(), sizeof request.portName);
        std::strcpy(request.portName, sim_->portName().c_str());
        request.lineSwitch = 1;
        request.readTimeout = readTimeoutTenMs;
        request.settings = {9600, 8, 0, 2};
        VpiCallBlock block{&instance, VPI_COLD_START, 1, 0, &request};
        ASSERT_EQ(VpiMain(&block), 0) << ::testing::PrintToString(testing::Host().texts());
        started_ = true;
        testing::Host().log.clear();
    }

    Tag Parse(const char* gas, std::int32_t gateType, std::uint32_t command = VPI_SINGLE_PARSE) {
        std::string text = gas;
        GateParseRecord record{};
        record.gas = text.data();
        record.gateType = gateType;
        VpiCallBlock block{&instance, command, 1, 0, &record};
        EXPECT_EQ(VpiMain(&block), 0) << gas;
        return {record.plcNumber, record.memArea, record.memAreaBits, record.elementIndex,
                record.bitNumber, record.sizeBits};
    }
    Tag ParseBlock(const char* gas) { return Parse(gas, 0, VPI_BLOCK_PARSE); }

    std::int32_t Access(std::uint32_t command, const Tag& tag, void* buffer, std::int32_t count = 1) {
        TagAccessRecord record{};
        record.plcNumber = tag.plcNumber;
        record.memArea = tag.memArea;
        record.memAreaBits = tag.memAreaBits;
        record.elementIndex = tag.elementIndex;
        record.bitNumber = tag.bitNumber;
        record.sizeBits = tag.sizeBits;
        record.itemCount = count;
        record.dataBuffer = buffer;
        VpiCallBlock block{&instance, command, 1, 0, &record};
        const std::int32_t rc = VpiMain(&block);
        EXPECT_EQ(record.elementIndex, tag.elementIndex) << "element index not restored";
        return rc;
    }

    // Single values in the host's buffer layout: 1 and 2 bytes (and bits)
    // in the 16-bit word at byte 2, 4 bytes in the 32-bit word at byte 0.
    std::int32_t WriteValue(const Tag& tag, std::uint32_t value) {
        std::uint8_t buffer[4] = {};
        if (tag.sizeBits == 32) {
            std::memcpy(buffer, &value, 4);
        } else {
            const auto word = static_cast<std::uint16_t>(value);
            std::memcpy(buffer + 2, &word, 2);
        }
        return Access(VPI_WRITE_VALUE, tag, buffer);
    }
    std::int32_t ReadValue(const Tag& tag, std::uint32_t& value) {
        std::uint8_t buffer[4];
        std::memset(buffer, 0xEE, sizeof buffer);
        const std::int32_t rc = Access(VPI_READ_VALUE, tag, buffer);
        if (tag.sizeBits == 32) {
            std::memcpy(&value, buffer, 4);
        } else {
            std::uint16_t word = 0;
            std::memcpy(&word, buffer + 2, 2);
            value = word;
            EXPECT_EQ(buffer[0] | buffer[1], 0) << "bytes 0..1 of a short value are cleared";
        }
        return rc;
    }
    std::uint32_t Read(const char* gas, std::int32_t gateType) {
        std::uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(ReadValue(Parse(gas, gateType), value), 0) << gas;
        return value;
    }

    // The log lines of category 32 (the block parser's trace lines are 0).
    static Texts Logged() {
        Texts texts;
        for (const auto& line : testing::Host().log)
            if (line.category == 32) texts.push_back(line.text);
        return texts;
    }
    VpiInstance instance{};

private:
    std::unique_ptr<kit::SimProcess> sim_;
    bool started_ = false;
};

TEST_F(SimEndToEnd, WritesAndReadsBackBytesWordsAndDoubleWordsOfEveryArea) {
    Start();
    const char areas[] = {'I', 'Q', 'M', 'V'};
    for (char area : areas) {
        const std::string b = std::string("02") + area + "B0001";
        const std::string w = std::string("02") + area + "W0002";
        const std::string d = std::string("02") + area + "D0004";
        const std::uint32_t salt = static_cast<std::uint32_t>(area);
        EXPECT_EQ(WriteValue(Parse(b.c_str(), kGateByteOrWord), 0xA0 + salt % 16), 0) << b;
        EXPECT_EQ(WriteValue(Parse(w.c_str(), kGateByteOrWord), 0x1200 + salt), 0) << w;
        EXPECT_EQ(WriteValue(Parse(d.c_str(), kGateDouble), 0x89ABCD00 + salt), 0) << d;
        EXPECT_EQ(Read(b.c_str(), kGateByteOrWord), 0xA0 + salt % 16) << b;
        EXPECT_EQ(Read(w.c_str(), kGateByteOrWord), 0x1200 + salt) << w;
        EXPECT_EQ(Read(d.c_str(), kGateDouble), 0x89ABCD00 + salt) << d;
    }
    // The controller keeps values big-endian: the double word's first byte
    // is its most significant one, and a word over its middle spans both.
    EXPECT_EQ(Read("02VB0004", kGateByteOrWord), 0x89u);
    EXPECT_EQ(Read("02VB0007", kGateByteOrWord), 0x56u);  // 'V'
    EXPECT_EQ(Read("02VW0004", kGateByteOrWord), 0x89ABu);
    EXPECT_EQ(Read("02VW0000", kGateByteOrWord), 0x00A6u);  // VB0 untouched, VB1 written
    EXPECT_EQ(Logged(), Texts{});
}

TEST_F(SimEndToEnd, ReadsValuesTheControllerAlreadyHolds) {
    const std::string preset = std::filesystem::current_path() / ("preset-" + TestName() + ".txt");
    std::ofstream(preset) << "2 V 300: 12 34 56 78\n2 I 2: 81\n";
    Start({"--load", preset});
    EXPECT_EQ(Read("02VW0300", kGateByteOrWord), 0x1234u);
    EXPECT_EQ(Read("02VW0302", kGateByteOrWord), 0x5678u);
    EXPECT_EQ(Read("02VB0301", kGateByteOrWord), 0x34u);
    EXPECT_EQ(Read("02VD0300", kGateDouble), 0x12345678u);
    EXPECT_EQ(Read("02VF0300", 3), 0x12345678u);
    EXPECT_EQ(Read("02IB00027", kGateBit), 1u);
    EXPECT_EQ(Read("02IB00021", kGateBit), 0u);
    EXPECT_EQ(Read("02IB00020", kGateBit), 1u);
    std::filesystem::remove(preset);
}

TEST_F(SimEndToEnd, BitTagsSetAndClearOneBitOfTheirByte) {
    Start();
    for (const char* area : {"I", "Q", "M", "V"}) {
        const std::string byte = std::string("02") + area + "B0003";
        const std::string bit5 = byte + "5", bit0 = byte + "0";
        ASSERT_EQ(WriteValue(Parse(byte.c_str(), kGateByteOrWord), 0x81), 0);
        EXPECT_EQ(WriteValue(Parse(bit5.c_str(), kGateBit), 1), 0);
        EXPECT_EQ(Read(byte.c_str(), kGateByteOrWord), 0xA1u) << byte;
        EXPECT_EQ(Read(bit5.c_str(), kGateBit), 1u);
        // Any non-zero word sets the bit; zero clears it.
        EXPECT_EQ(WriteValue(Parse(bit0.c_str(), kGateBit), 0x0100), 0);
        EXPECT_EQ(WriteValue(Parse(bit5.c_str(), kGateBit), 0), 0);
        EXPECT_EQ(Read(byte.c_str(), kGateByteOrWord), 0x81u) << byte;
        EXPECT_EQ(Read(bit5.c_str(), kGateBit), 0u);
    }
    EXPECT_EQ(Logged(), Texts{});
}

TEST_F(SimEndToEnd, FurtherAreasAreWrittenReadAndGuardedAsACpuGuardsThem) {
    const std::string preset = std::filesystem::current_path() / ("preset-" + TestName() + ".txt");
    std::ofstream(preset) << "2 AI 0: 12 34\n2 SM 28: 7F\n2 S 31: 80\n";
    Start({"--load", preset});
    // Loaded values of each area read back through its own tag.
    EXPECT_EQ(Read("02AIW0000", kGateByteOrWord), 0x1234u);
    EXPECT_EQ(Read("02SMB0028", kGateByteOrWord), 0x7Fu);
    EXPECT_EQ(Read("02SB00317", kGateBit), 1u);
    // Writable places of S, SM (from SM30 on) and AQ, as values, blocks and bits.
    EXPECT_EQ(WriteValue(Parse("02AQW0002", kGateByteOrWord), 1234), 0);
    EXPECT_EQ(Read("02AQW0002", kGateByteOrWord), 1234u);
    EXPECT_EQ(WriteValue(Parse("02SMD0032", kGateDouble), 0x01020304), 0);
    EXPECT_EQ(Read("02SMW0034", kGateByteOrWord), 0x0304u);
    EXPECT_EQ(WriteValue(Parse("02SB00012", kGateBit), 1), 0);
    EXPECT_EQ(Read("02SB0001", kGateByteOrWord), 0x04u);
    std::uint16_t words[2] = {0x1111, 0x2222};
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, ParseBlock("02AQW0010"), words, 2), 0);
    std::uint16_t back[2] = {};
    EXPECT_EQ(Access(VPI_READ_BLOCK, ParseBlock("02AQW0010"), back, 2), 0);
    EXPECT_EQ(back[0], 0x1111);
    EXPECT_EQ(back[1], 0x2222);
    EXPECT_EQ(Logged(), Texts{});

    // SM0..SM29 are the CPU's: refused with "object access not allowed".
    EXPECT_EQ(WriteValue(Parse("02SMB0029", kGateByteOrWord), 1), 1);
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: Check Responed FAIL (access_result: 03)"));
    EXPECT_EQ(Read("02SMB0029", kGateByteOrWord), 0u);
    // A write to analog inputs never reaches the line.
    testing::Host().log.clear();
    EXPECT_EQ(WriteValue(Parse("02AIW0000", kGateByteOrWord), 1), 1);
    EXPECT_EQ(Logged(), Texts{"VpiK701: WriteValue() FAIL (PLC 2 AIW0: analog inputs are read-only)"});
    EXPECT_EQ(Read("02AIW0000", kGateByteOrWord), 0x1234u);
    std::filesystem::remove(preset);
}

TEST_F(SimEndToEnd, TimersAndCountersAreReadByNumberAndNeverWritten) {
    const std::string preset = std::filesystem::current_path() / ("preset-" + TestName() + ".txt");
    std::ofstream(preset) << "2 T 37: 1234 -2 32767\n2 C 12: -5\n";
    Start({"--load", preset});
    EXPECT_EQ(Read("02TW0037", kGateByteOrWord), 1234u);
    EXPECT_EQ(Read("02CW0012", kGateByteOrWord), 0xFFFBu);  // -5
    std::int16_t timers[3] = {};
    EXPECT_EQ(Access(VPI_READ_BLOCK, ParseBlock("02TW0037"), timers, 3), 0);
    EXPECT_EQ(timers[0], 1234);
    EXPECT_EQ(timers[1], -2);
    EXPECT_EQ(timers[2], 32767);
    EXPECT_EQ(Logged(), Texts{});
    // A write never reaches the line: the simulator would refuse it with 03.
    EXPECT_EQ(WriteValue(Parse("02TW0037", kGateByteOrWord), 1), 1);
    EXPECT_EQ(Logged(), Texts{"VpiK701: WriteValue() FAIL (PLC 2 T37: timers and counters are read-only)"});
    EXPECT_EQ(Read("02TW0037", kGateByteOrWord), 1234u);
    std::filesystem::remove(preset);
}

TEST_F(SimEndToEnd, BlocksOfSeveralElementsGoOutAndComeBackInHostOrder) {
    Start();
    const std::uint8_t bytes[6] = {1, 2, 3, 0xFD, 0xFE, 0xFF};
    const std::uint16_t words[5] = {0x0102, 0xA0B0, 0xFFFF, 0, 0x7F80};
    const std::uint32_t dwords[3] = {0x01020304, 0xF0E0D0C0, 0x80000001};

    Tag qb = ParseBlock("02QB0008");
    std::uint8_t qbIn[6] = {};
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, qb, const_cast<std::uint8_t*>(bytes), 6), 0);
    EXPECT_EQ(Access(VPI_READ_BLOCK, qb, qbIn, 6), 0);
    EXPECT_EQ(std::memcmp(qbIn, bytes, sizeof bytes), 0);

    Tag vw = ParseBlock("02VW0200");
    EXPECT_EQ(vw.elementIndex, 100);
    std::uint16_t vwIn[5] = {};
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, vw, const_cast<std::uint16_t*>(words), 5), 0);
    EXPECT_EQ(Access(VPI_READ_BLOCK, vw, vwIn, 5), 0);
    EXPECT_EQ(std::memcmp(vwIn, words, sizeof words), 0);
    EXPECT_EQ(Read("02VW0202", kGateByteOrWord), 0xA0B0u);  // element 1, single read
    EXPECT_EQ(Read("02VB0208", kGateByteOrWord), 0x7Fu);    // element 4, high byte first

    Tag md = ParseBlock("02MD0004");
    std::uint32_t mdIn[3] = {};
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, md, const_cast<std::uint32_t*>(dwords), 3), 0);
    EXPECT_EQ(Access(VPI_READ_BLOCK, md, mdIn, 3), 0);
    EXPECT_EQ(std::memcmp(mdIn, dwords, sizeof dwords), 0);
    EXPECT_EQ(Read("02MD0008", kGateDouble), 0xF0E0D0C0u);

    // The largest blocks an S7-200 takes (PDU 240): 222 bytes read, 212 written.
    std::vector<std::uint8_t> big(222);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + 1);
    Tag vb = ParseBlock("02VB1000");
    std::vector<std::uint8_t> bigIn(222);
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, vb, big.data(), 212), 0);
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, {2, 'V', 8, 1212, VPI_NO_BIT, 8}, big.data() + 212, 10), 0);
    EXPECT_EQ(Access(VPI_READ_BLOCK, vb, bigIn.data(), 222), 0);
    EXPECT_EQ(bigIn, big);
    EXPECT_EQ(Logged(), Texts{});
}

TEST_F(SimEndToEnd, BlocksBeyondThePduAreRefusedAndChangeNothing) {
    Start({"--full-frames"});  // the LE 255 write below reaches the station
    std::vector<std::uint8_t> values(224, 0x77), in(234, 0xC3);
    Tag vb = ParseBlock("02VB0000");
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, vb, values.data(), 213), 1);
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: Check Responed FAIL (PPI Rsp. header error)"));
    testing::Host().log.clear();
    EXPECT_EQ(Access(VPI_READ_BLOCK, vb, in.data(), 223), 1);
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: Check Responed FAIL (PPI Rsp. header error)"));
    EXPECT_EQ(in, std::vector<std::uint8_t>(234, 0xC3));
    // A full frame (LE 255) is refused the same way; nothing was written.
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, vb, values.data(), 224), 1);
    EXPECT_EQ(Access(VPI_READ_BLOCK, vb, in.data(), 222), 0);
    EXPECT_EQ(std::count(in.begin(), in.begin() + 222, 0), 222);
}

TEST_F(SimEndToEnd, AFullFrameIsIgnoredByAStationThatTakesLe249) {
    Start();
    std::vector<std::uint8_t> values(224, 0x77), in(1, 0xC3);
    Tag vb = ParseBlock("02VB0000");
    EXPECT_EQ(Access(VPI_WRITE_BLOCK, vb, values.data(), 224), 2);  // LE 255: no answer at all
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: recv. SC Ack fail"));
    EXPECT_EQ(Access(VPI_READ_BLOCK, vb, in.data(), 1), 0);
    EXPECT_EQ(in[0], 0);
}

TEST_F(SimEndToEnd, ASilentStationCostsThreeAttemptsAndResultTwo) {
    Start({"--fault", "silent:always"});
    std::uint32_t value = 0;
    EXPECT_EQ(ReadValue(Parse("02VW0100", kGateByteOrWord), value), 2);
    EXPECT_EQ(value, 0u);  // the buffer stays cleared
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: recv. SC Ack fail"));
    // A station the simulator does not serve is just as silent.
    testing::Host().log.clear();
    EXPECT_EQ(WriteValue(Parse("05VW0100", kGateByteOrWord), 1), 2);
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: recv. SC Ack fail"));
}

TEST_F(SimEndToEnd, ATokenInPlaceOfTheAcknowledgementLeadsToAnAssociationThenSuccess) {
    Start({"--fault", "token:next:1"});
    ASSERT_EQ(WriteValue(Parse("02MW0010", kGateByteOrWord), 0x4321), 0);
    EXPECT_EQ(Logged(),
              (Texts{"VpiK701: recv SD4 after SD2 message (pass Token)", "S7200EstablishAssociation()"}));
    EXPECT_EQ(Read("02MW0010", kGateByteOrWord), 0x4321u);
}

TEST_F(SimEndToEnd, ARefusedAccessIsRetriedAndEndsWithResultOne) {
    Start({"--fault", "refuse:next:3", "--v-size", "1024"});
    std::uint32_t value = 0;
    EXPECT_EQ(WriteValue(Parse("02VW0100", kGateByteOrWord), 0x5555), 1);
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: Check Responed FAIL (access_result: 0a)"));
    EXPECT_EQ(Read("02VW0100", kGateByteOrWord), 0u);  // the refused write wrote nothing
    // An address beyond the controller's memory is refused the same way.
    testing::Host().log.clear();
    EXPECT_EQ(ReadValue(Parse("02VW2000", kGateByteOrWord), value), 1);
    EXPECT_EQ(Logged(), Texts(3, "VpiK701: Check Responed FAIL (access_result: 0a)"));
}

TEST_F(SimEndToEnd, ACorruptedChecksumIsRetried) {
    const std::string preset = std::filesystem::current_path() / ("preset-" + TestName() + ".txt");
    std::ofstream(preset) << "2 Q 4: BE EF\n";
    Start({"--load", preset, "--fault", "badfcs:next:1"});
    EXPECT_EQ(Read("02QW0004", kGateByteOrWord), 0xBEEFu);
    EXPECT_EQ(Logged(), Texts{"VpiK701: Check Responed FAIL (FCS)"});
    std::filesystem::remove(preset);
}

// Faults of a confused, slow or noisy peer: the transaction takes the path
// its retry rules give (so many exchanges, an association or none), told by
// the log lines and by what the simulator's trace says it received, and
// nothing of a refused answer reaches the host's buffer.

// How many lines of the simulator's trace so far hold `part`: "] rx " for
// each frame received, "set up communication" for each association request.
std::size_t Traced(const std::string& part) {
    std::ifstream in("sim-" + TestName() + ".trace");
    std::size_t count = 0;
    for (std::string line; std::getline(in, line);) count += line.find(part) != std::string::npos;
    return count;
}

std::size_t CountStartingWith(const Texts& texts, const std::string& start) {
    return static_cast<std::size_t>(
        std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(start, 0) == 0; }));
}

TEST_F(SimEndToEnd, AnswersOfAnotherRequestAreRefusedAndNothingOfThemIsStored) {
    Start({"--fault", "mismatch:always"});
    std::uint32_t value = 0xDEADBEEF;
    const std::size_t setUps = Traced("set up communication");
    EXPECT_EQ(ReadValue(Parse("02VW0100", kGateByteOrWord), value), 1);
    EXPECT_EQ(Traced("station 2: read V100.0"), 3u);  // three exchanges, no association
    EXPECT_EQ(Traced("set up communication"), setUps);
    EXPECT_EQ(value, 0u);
    Texts logged = Logged();
    EXPECT_EQ(logged.size(), 3u);
    EXPECT_EQ(CountStartingWith(logged, "VpiK701: Check Responed FAIL ("), 3u) << ::testing::PrintToString(logged);

    // A write answered with a read's answer (or two results) is not written.
    testing::Host().log.clear();
    EXPECT_EQ(WriteValue(Parse("02MW0004", kGateByteOrWord), 0x2222), 1);
    EXPECT_EQ(CountStartingWith(Logged(), "VpiK701: Check Responed FAIL ("), 3u);

    // A block keeps what the host had in it.
    std::vector<std::uint16_t> block(8, 0xC3C3);
    EXPECT_EQ(Access(VPI_READ_BLOCK, ParseBlock("02VW0100"), block.data(), 8), 1);
    EXPECT_EQ(block, std::vector<std::uint16_t>(8, 0xC3C3));
}

// Two word reads in a row, the usual polling of a host: the second one's
// first answer is the late answer to the first, of the same function and
// size. Its reference gives it away; the retry brings the right value.
TEST_F(SimEndToEnd, ALateAnswerOfTheSameShapeIsNeverStored) {
    const std::string preset = std::filesystem::current_path() / ("preset-" + TestName() + ".txt");
    std::ofstream(preset) << "2 V 100: 12 34\n2 V 200: AB CD\n";
    // The first read is answered in time (the trickle of 1 ms a byte is as
    // fast as the line), the next request gets the answer before it.
    Start({"--load", preset, "--fault", "trickle=1:next:1", "--fault", "late:next:1"});
    std::uint32_t value = 0;
    ASSERT_EQ(ReadValue(Parse("02VW0100", kGateByteOrWord), value), 0);
    EXPECT_EQ(value, 0x1234u);
    ASSERT_EQ(ReadValue(Parse("02VW0200", kGateByteOrWord), value), 0);
    EXPECT_EQ(value, 0xABCDu);
    const Texts logged = Logged();
    ASSERT_EQ(logged.size(), 1u) << ::testing::PrintToString(logged);
    EXPECT_EQ(logged[0].rfind("VpiK701: Check Responed FAIL (reference ", 0), 0u) << logged[0];
    std::filesystem::remove(preset);
}

// A station without a free resource, under the standard read time-out: no
// association, result 1 and one line that says the station is busy.
TEST_F(SimEndToEnd, ABusyStationReturnsOneWithTheBusyLine) {
    Start({"--fault", "noresource:always"}, 100);
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(ReadValue(Parse("02VW0100", kGateByteOrWord), value), 1);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(Logged(), Texts{"VpiK701: station 2 busy (no resource)"});
}

// Busy (SC to every poll) for the first two attempts, then served.
TEST_F(SimEndToEnd, AStationBusyForTwoAttemptsIsServedByTheThird) {
    Start({"--fault", "busy:next:2"}, 100);
    ASSERT_EQ(WriteValue(Parse("02VW0100", kGateByteOrWord), 0x4321), 0);
    EXPECT_EQ(Logged(), Texts{});
    EXPECT_EQ(Read("02VW0100", kGateByteOrWord), 0x4321u);
}

TEST_F(SimEndToEnd, AFloodingLineFailsAsABrokenLinkWithinTheRetryBound) {
    Start({"--fault", "flood:next:1"});
    // The request that starts the flood meets noise: an association follows,
    // whose purges give up on the line that never falls silent.
    std::uint32_t value = 0xDEADBEEF;
    const std::size_t received = Traced("] rx ");
    EXPECT_EQ(ReadValue(Parse("02VW0100", kGateByteOrWord), value), 2);
    // The read went out once; each association attempt gave up on the line
    // before sending.
    EXPECT_EQ(Traced("] rx "), received + 1);
    EXPECT_EQ(value, 0u);
    const Texts logged = Logged();
    EXPECT_EQ(CountStartingWith(logged, "VpiK701: invalid recv."), 1u) << ::testing::PrintToString(logged);
    EXPECT_EQ(CountStartingWith(logged, "PurgeInput() FAIL (the line kept sending for 200 ms)"), 3u);
    EXPECT_EQ(logged.back(), "S7200Read() S7200EstablishAssociation() rc = 2");

    // On the line still flooded, a command fails at once: three purges give
    // up, no association.
    testing::Host().log.clear();
    EXPECT_EQ(WriteValue(Parse("02VW0100", kGateByteOrWord), 7), 2);
    EXPECT_EQ(Traced("] rx "), received + 1);  // nothing sent
    EXPECT_EQ(CountStartingWith(Logged(), "PurgeInput() FAIL (the line kept sending for 200 ms)"), 3u);
    EXPECT_EQ(CountStartingWith(Logged(), "S7200EstablishAssociation()"), 0u);
}

TEST_F(SimEndToEnd, ATricklingPeerCostsEachReceiveStepItsBoundNotTheTrickle) {
    const std::string preset = std::filesystem::current_path() / ("preset-" + TestName() + ".txt");
    std::ofstream(preset) << "2 V 100: 12 34\n";
    // A byte every 300 ms: the SC arrives within the 500 ms read time-out, a
    // head of seven bytes does not. The read and the three association
    // attempts trickle; the second read goes through. The wide gap keeps
    // the SC in time on a loaded machine, and keeps the trickle's bytes
    // well away from the moment the driver's purge ends and it sends again:
    // a byte that came just after the purge would be taken for the first
    // byte of the next answer, a fault of its own.
    Start({"--load", preset, "--fault", "trickle=300:next:4"}, 50);
    std::uint32_t value = 0;
    EXPECT_EQ(ReadValue(Parse("02VW0100", kGateByteOrWord), value), 0);
    // One association of three attempts, and each trickled response given up
    // on its head's bound: the driver's next frame cut every one of them
    // short, none was waited out (4 x 29 x 300 ms).
    EXPECT_EQ(Traced("trickle abandoned after "), 4u);
    EXPECT_EQ(value, 0x1234u);
    const Texts logged = Logged();
    EXPECT_EQ(CountStartingWith(logged, "VpiK701: recv. tSD2Hdr fail"), 4u) << ::testing::PrintToString(logged);
    EXPECT_EQ(CountStartingWith(logged, "S7200EstablishAssociation()"), 1u);
    // Which attempt the last trickled answer falls on depends on the
    // scheduling of driver and simulator, so the order of the lines is not
    // pinned down here.
    std::filesystem::remove(preset);
}

// Command 20 on 50 tags scattered over every area of two stations, and
// neighbouring timers and a counter: each tag's buffer holds what command 5
// leaves there, and an address the station lacks fails alone.
TEST_F(SimEndToEnd, ReadTagsGivesWhatSingleReadsGive) {
    const std::string preset = std::filesystem::current_path() / ("preset-" + TestName() + ".txt");
    {
        std::ofstream file(preset);
        const std::pair<const char*, int> areas[] = {{"I", 16}, {"Q", 16}, {"M", 32}, {"S", 32},
                                                     {"SM", 112}, {"AI", 64}, {"AQ", 64}, {"V", 1024}};
        for (int station : {2, 3}) {
            for (const auto& [area, size] : areas) {
                for (int row = 0; row < size; row += 16) {
                    file << station << ' ' << area << ' ' << (area[0] == 'V' && row >= 512 ? row - 512 + 8900 : row) << ':';
                    for (int i = 0; i < 16; ++i) file << ' ' << std::hex << ((station * 37 + row * 7 + i * 13 + area[0]) & 0xFF) << std::dec;
                    file << '\n';
                }
            }
        }
        file << "2 T 37: 1234 -2\n3 C 12: -5\n";
    }
    Start({"--load", preset, "--station", "2", "--station", "3", "--v-size", "9500"});
    const std::pair<const char*, std::int32_t> gases[] = {
        {"02IB0003", 0}, {"02IB00057", 6}, {"02IW0010", 0}, {"02QB0001", 0}, {"02QB00150", 6},
        {"02QD0004", 4}, {"02MB0031", 0}, {"02MW0020", 0}, {"02MD0008", 4}, {"02MB00023", 6},
        {"02VB0001", 0}, {"02VW0100", 0}, {"02VD0204", 4}, {"02VB01007", 6}, {"02VW0102", 0},
        {"02VB0102", 0}, {"02VB01020", 6}, {"02VD9000", 4}, {"02VB9001", 0}, {"02VW0300", 0},
        {"02VB0499", 0}, {"02VW9490", 0}, {"02SB0001", 0}, {"02SB00312", 6}, {"02SW0010", 0},
        {"02SMB0030", 0}, {"02SMW0040", 0}, {"02SMD0052", 4}, {"02SMB00997", 6}, {"02AIW0000", 0},
        {"02AIW0010", 0}, {"02AIW0062", 0}, {"02AQW0000", 0}, {"02AQW0030", 0}, {"03VW0100", 0},
        {"03VB0101", 0}, {"03VD0300", 4}, {"03IB0000", 0}, {"03IB00001", 6}, {"03MW0004", 0},
        {"03QB0002", 0}, {"03SB0005", 0}, {"03SMW0060", 0}, {"03AIW0020", 0}, {"03AQW0004", 0},
        {"03VW9400", 0}, {"03VB01013", 6}, {"03MD0028", 4}, {"03SMB00304", 6}, {"02TW0038", 0},
        {"02TW0037", 0}, {"03CW0012", 0}, {"02VW9500", 0}};
    constexpr std::size_t kTags = std::size(gases);
    std::vector<TagAccessRecord> records(kTags);
    std::vector<std::array<std::uint8_t, 4>> together(kTags), alone(kTags);
    std::vector<std::int32_t> results(kTags, -1);
    for (std::size_t i = 0; i < kTags; ++i) {
        const Tag tag = Parse(gases[i].first, gases[i].second);
        records[i] = TagAccessRecord{0, 0, tag.plcNumber, tag.memArea, tag.memAreaBits, {}, tag.elementIndex,
                                     tag.bitNumber, tag.sizeBits, 0, 1, 0, together[i].data()};
        together[i].fill(0xEE);
        alone[i].fill(0xEE);
        EXPECT_EQ(Access(VPI_READ_VALUE, tag, alone[i].data()), i + 1 < kTags ? 0 : 1) << gases[i].first;
    }
    testing::Host().log.clear();
    ReadTagsRecord read{static_cast<std::int32_t>(kTags), records.data(), results.data(), 0};
    VpiCallBlock block{&instance, VPI_READ_TAGS, 1, 0, &read};
    EXPECT_EQ(VpiMain(&block), 1);
    for (std::size_t i = 0; i < kTags; ++i) {
        EXPECT_EQ(results[i], i + 1 < kTags ? 0 : 1) << gases[i].first;
        EXPECT_EQ(together[i], alone[i]) << gases[i].first;
    }
    EXPECT_EQ(together[kTags - 3][2] | together[kTags - 3][3] << 8, 1234);  // T37
    // Station 2's tags in two requests (its two timers' items no longer fit
    // the first), the item of VW9490 and VW9500 read again item by item;
    // station 3's in one.
    EXPECT_EQ(read.requests, 4u);
    EXPECT_EQ(Logged(), Texts{"VpiK701: ReadTags() tag 52 (PLC 2) FAIL (access_result: 0a)"});
    std::filesystem::remove(preset);
}

}  // namespace
}  // namespace plclink
