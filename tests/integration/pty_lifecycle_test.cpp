// ColdStart and the line commands through VpiMain on pseudo-terminals, with
// the initialization file read from the current directory.
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entry/command_handlers.h"
#include "core/vpi_instance.h"
#include "fake_host.h"
#include "platform/platform.h"
#include "pty_pair.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

using Texts = std::vector<std::string>;

class PtyLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
        ASSERT_TRUE(pty.ok());
        saved_ = std::filesystem::current_path();
        char pattern[] = "/tmp/plclink-pty-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        for (VpiInstance* v : {&first, &second}) {
            VpiCallBlock block{v, VPI_CLOSE_LINE, 3, 0, nullptr};
            VpiMain(&block);
        }
        std::filesystem::current_path(saved_);
        std::filesystem::remove_all(dir_);
    }
    std::int32_t Run(VpiInstance& v, std::uint32_t command, void* params = nullptr) {
        VpiCallBlock block{&v, command, 3, 0, params};
        return VpiMain(&block);
    }
    std::int32_t Start(VpiInstance& v, const std::string& port) {
        ColdStartRequest r{};
        std::memcpy(r.portName, port.c_str(), port.size() + 1);
        r.lineSwitch = 1;
        r.readTimeout = 20;
        r.settings = {9600, 8, 0, 2};
        return Run(v, VPI_COLD_START, &r);
    }
    std::uint32_t ReadTimeoutMs(LineHandle h) {
        LineTimeouts t{};
        EXPECT_TRUE(Platform().getTimeouts(h, &t));
        return t.readTotalConstant;
    }
    bool PortIsFree(const std::string& name) {
        LineHandle h = kNoLine;
        if (OpenComPort(name.c_str(), {9600, 8, 0, 2}, kDriverControlFlags, &h) != kPortOpened)
            return false;
        return CloseComPort(h) == 0;
    }

    testing::PtyPair pty;
    VpiInstance first{};
    VpiInstance second{};

private:
    std::filesystem::path saved_, dir_;
};

TEST_F(PtyLifecycleTest, ColdStartOpensThePortAndReadsTheInitializationFile) {
    std::ofstream("vpiK703.int") << "; plc numbers: 3 digits\n";
    ASSERT_EQ(Start(first, pty.name()), 0);
    EXPECT_NE(first.lineHandle, kNoLine);
    EXPECT_NE(first.lineHandle, kNullLine);
    EXPECT_EQ(first.threeDigitPlc, 1u);
    EXPECT_EQ(ReadTimeoutMs(first.lineHandle), 200u);
    const Texts log = testing::Host().texts();
    ASSERT_EQ(log.size(), 3u);
    const std::string version = std::to_string(PLCLINK_VERSION_MAJOR) + "," +
                                std::to_string(PLCLINK_VERSION_MINOR) + "," +
                                std::to_string(PLCLINK_VERSION_PATCH) + "," +
                                std::to_string(PLCLINK_VERSION_TWEAK);
    EXPECT_EQ(log[0].rfind("VpiK701: Version : " + version + ", version compiled on ", 0), 0u)
        << log[0];
    EXPECT_EQ(log[1], "VPIK703: 3 digit PLC address enabled for this VPI");
    EXPECT_EQ(log[2], "VpiK701: ColdStart() end OK");

    // The port is held: a second instance cannot have it.
    EXPECT_EQ(Start(second, pty.name()), 2);
    EXPECT_EQ(testing::Host().texts().back(), "VpiK702: Fail to open " + pty.name());
    EXPECT_EQ(second.lineHandle, kNoLine);
}

TEST_F(PtyLifecycleTest, NullLineAndFlush) {
    ASSERT_EQ(Start(second, "NullDev"), 0);
    EXPECT_EQ(second.lineHandle, kNullLine);
    const Texts log = testing::Host().texts();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1], "VpiK701: ColdStart() SetCommMask() fail");
    EXPECT_EQ(log[2], "vpiK703: Initialization file 'vpiK703.int' not found!");
    EXPECT_EQ(Run(second, VPI_FLUSH_LINE), 0);
    EXPECT_EQ(testing::Host().log.size(), 4u);

    ASSERT_EQ(Start(first, pty.name()), 0);
    pty.send(std::vector<std::uint8_t>(700, 0x33));
    std::uint32_t errors = 0, waiting = 0;
    for (int i = 0; i < 100 && waiting < 700; ++i) {
        ASSERT_TRUE(Platform().clearErrors(first.lineHandle, &errors, &waiting));
        if (waiting < 700) usleep(10000);
    }
    EXPECT_EQ(Run(first, VPI_FLUSH_LINE), 0);
    ASSERT_TRUE(Platform().clearErrors(first.lineHandle, &errors, &waiting));
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(ReadTimeoutMs(first.lineHandle), 200u);
}

TEST_F(PtyLifecycleTest, CloseReopenAndChangeLine) {
    ASSERT_EQ(Start(first, pty.name()), 0);
    ASSERT_EQ(Run(first, VPI_CLOSE_LINE), 0);
    EXPECT_EQ(first.lineHandle, kNoLine);
    EXPECT_TRUE(PortIsFree(pty.name()));

    ASSERT_EQ(Run(first, VPI_REOPEN_LINE), 0);
    EXPECT_EQ(ReadTimeoutMs(first.lineHandle), 200u);
    EXPECT_FALSE(PortIsFree(pty.name()));
    EXPECT_EQ(Run(first, VPI_REOPEN_LINE), 2);  // still open

    testing::PtyPair other;
    ASSERT_TRUE(other.ok());
    LineChangeRequest change{};
    std::memcpy(change.portName, other.name().c_str(), other.name().size() + 1);
    change.readTimeout = 35;
    change.settings = {19200, 8, 0, 2};
    ASSERT_EQ(Run(first, VPI_CHANGE_LINE, &change), 0);
    EXPECT_TRUE(PortIsFree(pty.name()));
    EXPECT_FALSE(PortIsFree(other.name()));
    EXPECT_EQ(ReadTimeoutMs(first.lineHandle), 350u);
    LineState s{};
    ASSERT_TRUE(Platform().getLineState(first.lineHandle, &s));
    EXPECT_EQ(s.baudRate, 19200u);

    // Transmit-empty waits work on the changed line.
    const std::uint8_t byte = 0xE5;
    ASSERT_EQ(Platform().setEventMask(first.lineHandle, 0), true);
    ASSERT_EQ(Run(first, VPI_CLOSE_LINE), 0);
    ASSERT_EQ(Run(first, VPI_REOPEN_LINE), 0);
    std::uint32_t events = 0;
    EXPECT_TRUE(Platform().waitEvent(first.lineHandle, &events));
    EXPECT_EQ(events, kEventTxEmpty);
    std::uint32_t written = 0;
    EXPECT_TRUE(Platform().writePort(first.lineHandle, &byte, 1, &written));
    EXPECT_EQ(other.receive(1), std::vector<std::uint8_t>{0xE5});

    ASSERT_EQ(Run(first, VPI_END_VPI), 0);
    EXPECT_TRUE(PortIsFree(other.name()));
    EXPECT_EQ(testing::Host().texts().back(), "VpiK701: No. of Instances left: 0");
}

}  // namespace
}  // namespace plclink
