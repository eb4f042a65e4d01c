// The MULTIMASTER line of the initialization file, from ColdStart to the
// station's thread: the settings logged once, malformed lines passed over,
// the thread started with the line and stopped before it closes, and a
// command that finds no ring.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/vpi_instance.h"
#include "entry/command_handlers.h"
#include "fake_host.h"
#include "scripted_platform.h"
#include "temp_dir.h"

namespace plclink {
namespace {

class MultiMasterLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
        saved_ = std::filesystem::current_path();
        dir_ = testing::MakeTempDirectory("plclink-multimaster-");
        std::filesystem::current_path(dir_);
        std::memset(&vpi, 0, sizeof vpi);
    }
    void TearDown() override {
        Run(VPI_END_VPI, nullptr);
        std::filesystem::current_path(saved_);
        std::filesystem::remove_all(dir_);
    }
    std::int32_t Run(std::uint32_t command, void* params) {
        VpiCallBlock block{&vpi, command, 5, 0, params};
        return VpiMain(&block);
    }
    void Start(const std::string& file) {
        std::ofstream("vpiK705.int") << file;
        ColdStartRequest r{};
        std::strcpy(r.portName, "COM1");
        r.lineSwitch = 1;
        r.readTimeout = 100;
        r.settings = {9600, 8, 0, 2};
        ASSERT_EQ(Run(VPI_COLD_START, &r), 0);
    }
    std::size_t Count(const std::string& op) const { return os.callsOf(op).size(); }
    bool Logged(const std::string& line) const {
        const auto texts = testing::Host().texts();
        return std::find(texts.begin(), texts.end(), line) != texts.end();
    }

    ScriptedPlatform os;
    VpiInstance vpi;

private:
    std::filesystem::path saved_, dir_;
};

TEST_F(MultiMasterLineTest, SettingsAreLoggedOnceAndTheThreadLivesWithTheLine) {
    Start("3 DIGITS\nPAUSE 5\nmultimaster tsl 200 gap 5 Address 3 HSA 15\n");
    EXPECT_TRUE(Logged(
        "VpiK701: multi-master station 3, HSA 15, slot time 200 bit times (21 ms), gap update "
        "factor 5; lost token after 250 ms, joins the token ring within 5.0 s"));
    EXPECT_EQ(vpi.threeDigitPlc, 1u);
    EXPECT_EQ(Count("startThread"), 1u);
    EXPECT_EQ(testing::Host().texts().back(), "VpiK701: ColdStart() end OK");
    EXPECT_EQ(Run(VPI_CLOSE_LINE, nullptr), 0);
    EXPECT_EQ(Count("joinThread"), 1u);
    EXPECT_EQ(Run(VPI_REOPEN_LINE, nullptr), 0);
    EXPECT_EQ(Count("startThread"), 2u);
    Run(VPI_END_VPI, nullptr);
    EXPECT_EQ(Count("joinThread"), 2u);
    // The thread is stopped before the port closes.
    const auto names = os.callNames();
    const auto join = std::find(names.rbegin(), names.rend(), "joinThread");
    const auto close = std::find(names.rbegin(), names.rend(), "closePort");
    EXPECT_LT(join.base(), close.base());
}

TEST_F(MultiMasterLineTest, AMalformedLineIsLoggedAndIgnored) {
    for (const std::string line : {"MULTIMASTER ADDRESS 127", "MULTIMASTER HSA 2 ADDRESS 5",
                                   "multimaster TSL", "MULTIMASTERS", "MULTIMASTER GAP 0",
                                   "MULTIMASTER PORT 3"}) {
        SCOPED_TRACE(line);
        testing::Host().reset();
        Start("\n" + line + "\n");
        EXPECT_TRUE(Logged("vpiK705: '" + line +
                           "' ignored, expected MULTIMASTER [ADDRESS n] [HSA n] [TSL n] [GAP n]"));
        EXPECT_EQ(Count("startThread"), 0u);
        Run(VPI_END_VPI, nullptr);
    }
}

// The scripted platform starts no thread, so the station never joins: the
// command waits out the join bound on the virtual clock, sends nothing, and
// fails with the one line that says why.
TEST_F(MultiMasterLineTest, NotAdmittedWithinTheJoinBoundGivesResultTwo) {
    Start("\nMULTIMASTER HSA 2 GAP 1 TSL 10\n");
    testing::Host().reset();
    os.clearCalls();
    const std::uint64_t start = os.nowMs();
    std::uint8_t buffer[8]{};
    TagAccessRecord record{};
    record.plcNumber = 2;
    record.memArea = 'V';
    record.memAreaBits = 16;
    record.elementIndex = 50;
    record.bitNumber = VPI_NO_BIT;
    record.sizeBits = 16;
    record.dataBuffer = buffer;
    EXPECT_EQ(Run(VPI_READ_VALUE, &record), 2);
    EXPECT_EQ(testing::Host().texts(),
              std::vector<std::string>{"VpiK701: not in the token ring (not admitted within 0.8 s)"});
    EXPECT_EQ(Count("writePort"), 0u);
    EXPECT_GE(os.nowMs() - start, 842u);
}

}  // namespace
}  // namespace plclink
