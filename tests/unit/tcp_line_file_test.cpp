// The initialization file's TCP line on the scripted platform: which line an
// instance opens, how long a connection attempt may wait, and what the log
// says when it fails.
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

using Texts = std::vector<std::string>;

class TcpLineFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
        saved_ = std::filesystem::current_path();
        dir_ = testing::MakeTempDirectory("plclink-tcp-file-");
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
    // Writes vpiK705.int and starts the instance on `port`.
    std::int32_t Start(const std::string& file, const char* port = "COM1",
                       std::uint32_t readTimeout = 100) {
        std::ofstream("vpiK705.int") << file;
        ColdStartRequest r{};
        std::strcpy(r.portName, port);
        r.lineSwitch = 1;
        r.readTimeout = readTimeout;
        r.settings = {9600, 8, 0, 2};
        return Run(VPI_COLD_START, &r);
    }
    bool Logged(const std::string& line) const {
        const Texts texts = testing::Host().texts();
        return std::find(texts.begin(), texts.end(), line) != texts.end();
    }

    ScriptedPlatform os;
    VpiInstance vpi{};

private:
    std::filesystem::path saved_, dir_;
};

TEST_F(TcpLineFileTest, ALaterTcpLineConnectsInPlaceOfThePortWithinTenSecondsAndIsTheInstancesOwn) {
    vpi.lineHandle = 0x5A5A;  // left over in a record that was never started
    ASSERT_EQ(Start("\n  tcp [fd00::5]:4001 \n", "COM1", 2000), 0);
    ASSERT_EQ(os.callsOf("openTcpLine").size(), 1u);
    const auto attempt = os.callsOf("openTcpLine")[0];
    EXPECT_EQ(attempt.text, "fd00::5");
    EXPECT_EQ(attempt.args, (std::vector<std::uint64_t>{4001, 10000}));  // 20 s asked, 10 s at most
    EXPECT_TRUE(os.callsOf("openPort").empty());
    EXPECT_STREQ(vpi.lineConfig.portName, "COM1");
    EXPECT_TRUE(Logged("COM1: TCP [fd00::5]:4001 connected; baud rate, parity and RTS/DTR are the server's settings"));
    EXPECT_TRUE(Logged("VpiK701: ColdStart() end OK"));
    // While the connection is open it is not made a second time.
    EXPECT_EQ(Run(VPI_REOPEN_LINE, nullptr), 2);
    EXPECT_TRUE(Logged("COM1: TCP line still open, not connected again"));
    EXPECT_EQ(os.callsOf("openTcpLine").size(), 1u);
    // Closed, it is made again on reopen.
    ASSERT_EQ(Run(VPI_CLOSE_LINE, nullptr), 0);
    ASSERT_EQ(Run(VPI_REOPEN_LINE, nullptr), 0);
    EXPECT_EQ(os.callsOf("openTcpLine").size(), 2u);
}

TEST_F(TcpLineFileTest, AFailedConnectionSaysWhyAndOnlyWellFormedLaterLinesNameAServer) {
    os.tcpOpenResult = TcpOpenResult::kNoAnswer;
    EXPECT_EQ(Start("\nTCP 10.0.0.5:4001\n", "COM1", 5), 2);  // 50 ms asked, 1 s at least
    EXPECT_TRUE(Logged("COM1: TCP 10.0.0.5:4001: no answer within 1000 ms"));
    EXPECT_TRUE(Logged("VpiK701: Fail to open COM1"));
    Run(VPI_END_VPI, nullptr);

    // The first line, and a TCP line without a usable address, name none.
    os.clearCalls();
    testing::Host().reset();
    ASSERT_EQ(Start("TCP 1.2.3.4:5\nTCP 10.0.0.5:0\nTCP 10.0.0.5\nTCPX 1.2.3.4:5\n"), 0);
    EXPECT_TRUE(os.callsOf("openTcpLine").empty());
    EXPECT_EQ(os.callsOf("openPort").size(), 1u);
    EXPECT_TRUE(Logged("vpiK705: 'TCP 10.0.0.5:0' ignored, expected TCP host:port"));
    EXPECT_TRUE(Logged("vpiK705: 'TCP 10.0.0.5' ignored, expected TCP host:port"));
    Run(VPI_END_VPI, nullptr);

    // The null line stays the null line.
    os.clearCalls();
    ASSERT_EQ(Start("\nTCP 10.0.0.5:4001\n", "nulldev"), 0);
    EXPECT_TRUE(os.callsOf("openTcpLine").empty());
    EXPECT_EQ(vpi.lineHandle, kNullLine);
}

}  // namespace
}  // namespace plclink
