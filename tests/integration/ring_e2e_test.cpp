// The multi-master mode end to end, over the real serial layer, the real
// clock and the station's real thread: the driver alone on a line with
// ppi-sim (it claims the token and works as the only master), and a line
// on which another station already uses the driver's address.
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/vpi_instance.h"
#include "entry/command_handlers.h"
#include "fake_host.h"
#include "pty_pair.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace plclink {
namespace {

constexpr std::int32_t kGateByteOrWord = 0;
constexpr std::int32_t kGateDouble = 4;

// The threads of this process.
int ThreadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
    for (const std::string& t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

class RingEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
        saved_ = std::filesystem::current_path();
        dir_ = testing::MakeTempDirectory("plclink-ring-");
        std::filesystem::current_path(dir_);
        std::ofstream("vpiK701.int") << "\nMULTIMASTER\n";
    }
    void TearDown() override {
        End();
        std::filesystem::current_path(saved_);
        std::filesystem::remove_all(dir_);
    }
    void Start(const std::string& port) {
        ColdStartRequest request{};
        ASSERT_LT(port.size(), sizeof request.portName);
        std::strcpy(request.portName, port.c_str());
        request.lineSwitch = 1;
        request.readTimeout = 50;
        request.settings = {9600, 8, 2, 0};
        VpiCallBlock block{&instance, VPI_COLD_START, 1, 0, &request};
        ASSERT_EQ(VpiMain(&block), 0) << ::testing::PrintToString(testing::Host().texts());
        started_ = true;
    }
    void End() {
        if (!started_) return;
        VpiCallBlock block{&instance, VPI_END_VPI, 1, 0, nullptr};
        VpiMain(&block);
        started_ = false;
    }
    TagAccessRecord Parse(const char* gas, std::int32_t gateType) {
        std::string text = gas;
        GateParseRecord record{};
        record.gas = text.data();
        record.gateType = gateType;
        VpiCallBlock block{&instance, VPI_SINGLE_PARSE, 1, 0, &record};
        EXPECT_EQ(VpiMain(&block), 0) << gas;
        TagAccessRecord tag{};
        tag.plcNumber = record.plcNumber;
        tag.memArea = record.memArea;
        tag.memAreaBits = record.memAreaBits;
        tag.elementIndex = record.elementIndex;
        tag.bitNumber = record.bitNumber;
        tag.sizeBits = record.sizeBits;
        tag.itemCount = 1;
        return tag;
    }
    // Writes `value` to the tag `gas` and reads it back: the value read, or
    // the failing command's result in `rc`.
    std::uint32_t WriteAndRead(const char* gas, std::int32_t gateType, std::uint32_t value, std::int32_t& rc) {
        TagAccessRecord tag = Parse(gas, gateType);
        std::uint8_t buffer[4] = {};
        if (tag.sizeBits == 32) std::memcpy(buffer, &value, 4);
        else {
            const auto word = static_cast<std::uint16_t>(value);
            std::memcpy(buffer + 2, &word, 2);
        }
        tag.dataBuffer = buffer;
        rc = Run(VPI_WRITE_VALUE, &tag);
        if (rc != 0) return 0;
        std::memset(buffer, 0, sizeof buffer);
        rc = Run(VPI_READ_VALUE, &tag);
        std::uint32_t read = 0;
        if (tag.sizeBits == 32) std::memcpy(&read, buffer, 4);
        else {
            std::uint16_t word = 0;
            std::memcpy(&word, buffer + 2, 2);
            read = word;
        }
        return read;
    }
    std::int32_t Run(std::uint32_t command, TagAccessRecord* tag) {
        VpiCallBlock block{&instance, command, 1, 0, tag};
        return VpiMain(&block);
    }

    VpiInstance instance{};

private:
    std::filesystem::path saved_, dir_;
    bool started_ = false;
};

TEST_F(RingEndToEnd, AloneOnTheLineItClaimsTheTokenAndReadsAndWritesEveryArea) {
    kit::SimProcess sim(PPI_SIM_PATH, {"--station", "2", "--exit-after", "120"}, "");
    ASSERT_TRUE(sim.running());
    const int before = ThreadCount();
    Start(sim.portName());
    EXPECT_EQ(ThreadCount(), before + 1);
    for (const char area : {'I', 'Q', 'M', 'V'}) {
        const std::string w = std::string("02") + area + "W0010";
        const std::string d = std::string("02") + area + "D0012";
        std::int32_t rc = -1;
        EXPECT_EQ(WriteAndRead(w.c_str(), kGateByteOrWord, 0x4100u + static_cast<unsigned>(area), rc),
                  0x4100u + static_cast<unsigned>(area)) << w;
        EXPECT_EQ(rc, 0) << w;
        EXPECT_EQ(WriteAndRead(d.c_str(), kGateDouble, 0x12345600u + static_cast<unsigned>(area), rc),
                  0x12345600u + static_cast<unsigned>(area)) << d;
        EXPECT_EQ(rc, 0) << d;
    }
    const auto texts = testing::Host().texts();
    EXPECT_TRUE(Contains(texts, "VpiK701: station 0 claims the token"));
    EXPECT_TRUE(Contains(texts, "VpiK701: station 0 in the token ring (ring: 0)"));
    End();
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_TRUE(Contains(testing::Host().texts(), "VpiK701: station 0 leaving the token ring"));
}

// Another station 0 passes the token on the line: the driver keeps out,
// sends nothing at all, and its reads fail with the reason.
TEST_F(RingEndToEnd, AStationAtItsAddressKeepsItOffTheLine) {
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    std::atomic<bool> done{false};
    std::thread other([&] {
        while (!done.load()) {
            pty.send({0xDC, 0x00, 0x00});
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    Start(pty.name());
    TagAccessRecord tag = Parse("02VW0100", kGateByteOrWord);
    std::uint8_t buffer[4] = {};
    tag.dataBuffer = buffer;
    EXPECT_EQ(Run(VPI_READ_VALUE, &tag), 2);
    EXPECT_EQ(Run(VPI_READ_VALUE, &tag), 2);
    done = true;
    other.join();
    const auto texts = testing::Host().texts();
    EXPECT_TRUE(Contains(texts, "VpiK701: not in the token ring (station address 0 is in use by another station)"));
    EXPECT_TRUE(pty.receive(1, 200).empty());
}

}  // namespace
}  // namespace plclink
