// The PAUSE line of the initialization file, from ColdStart to the frames on
// the scripted line: the pause it sets, the bus idle time it is held above,
// and a busy station re-polled until it answers.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entry/command_handlers.h"
#include "core/vpi_instance.h"
#include "fake_host.h"
#include "scripted_platform.h"
#include "s7200_peer.h"
#include "temp_dir.h"

namespace plclink {
namespace {

using Texts = std::vector<std::string>;

// Each test runs in its own current directory, where vpiK705.int is read.
class PauseLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
        saved_ = std::filesystem::current_path();
        dir_ = testing::MakeTempDirectory("plclink-pause-");
        std::filesystem::current_path(dir_);
        std::memset(&vpi, 0, sizeof vpi);
    }
    void TearDown() override {
        if (started_) Run(VPI_END_VPI, nullptr);
        std::filesystem::current_path(saved_);
        std::filesystem::remove_all(dir_);
    }

    std::int32_t Run(std::uint32_t command, void* params) {
        VpiCallBlock block{&vpi, command, 5, 0, params};
        return VpiMain(&block);
    }
    // Writes vpiK705.int and starts the instance on COM1 at `baud`.
    void Start(const std::string& file, std::uint16_t baud = 9600) {
        if (!file.empty()) std::ofstream("vpiK705.int") << file;
        ColdStartRequest r{};
        std::strcpy(r.portName, "COM1");
        r.lineSwitch = 1;
        r.readTimeout = 100;  // 1000 ms
        r.settings = {baud, 8, 0, 2};
        ASSERT_EQ(Run(VPI_COLD_START, &r), 0);
        started_ = true;
    }
    // Reads the word V100 of station 2 (command 5).
    std::int32_t ReadWord() {
        TagAccessRecord record{};
        record.plcNumber = 2;
        record.memArea = 'V';
        record.memAreaBits = 16;
        record.elementIndex = 50;
        record.bitNumber = VPI_NO_BIT;
        record.sizeBits = 16;
        record.dataBuffer = buffer;
        return Run(VPI_READ_VALUE, &record);
    }
    std::uint16_t Value() const {
        std::uint16_t v;
        std::memcpy(&v, buffer + 2, 2);
        return v;
    }
    std::vector<std::uint64_t> Sleeps() const {
        std::vector<std::uint64_t> out;
        for (const auto& c : os.callsOf("sleep")) out.push_back(c.args[0]);
        return out;
    }
    bool Logged(const std::string& line) const {
        const Texts texts = testing::Host().texts();
        return std::find(texts.begin(), texts.end(), line) != texts.end();
    }

    ScriptedPlatform os;
    testing::S7200Peer peer{os, 2};
    VpiInstance vpi;
    std::uint8_t buffer[8]{};

private:
    std::filesystem::path saved_, dir_;
    bool started_ = false;
};

TEST_F(PauseLineTest, WithoutAPauseLineTheClassicTimingStaysAndNothingIsLogged) {
    for (const std::string file : {"", "3 DIGITS\n", "PAUSE 5\n", "\nPAUSE\n", "\nPAUSE five\n",
                                   "\nNOPAUSE 5\n", "\nPAUSE 5 ms\n"}) {
        SCOPED_TRACE(file);
        testing::Host().reset();
        std::filesystem::remove("vpiK705.int");
        Start(file);
        EXPECT_EQ(vpi.pauseMs, 0u);
        for (const std::string& line : testing::Host().texts())
            EXPECT_EQ(line.find("pause between frames"), std::string::npos) << line;
        Run(VPI_END_VPI, nullptr);
    }
    EXPECT_TRUE(Logged("vpiK705: 'PAUSE 5 MS' ignored, expected PAUSE and milliseconds"));
    Start("");
    os.clearCalls();
    peer.area('V')[100] = 0x12;
    peer.area('V')[101] = 0x34;
    ASSERT_EQ(ReadWord(), 0);
    EXPECT_EQ(Value(), 0x1234);
    EXPECT_EQ(Sleeps(), (std::vector<std::uint64_t>{40, 1, 40, 1}));
}

TEST_F(PauseLineTest, PauseFiveShortensBothPausesAndRepollsABusyStation) {
    Start("3 digits\n  pause 5\r\nPAUSE 30\n");
    EXPECT_EQ(vpi.pauseMs, 5u);
    EXPECT_EQ(vpi.threeDigitPlc, 1u);
    EXPECT_TRUE(Logged("VpiK701: pause between frames 5 ms, busy stations polled again"));
    EXPECT_EQ(testing::Host().texts().back(), "VpiK701: ColdStart() end OK");

    peer.area('V')[100] = 0xBE;
    peer.area('V')[101] = 0xEF;
    peer.busyPolls = 3;
    os.clearCalls();
    testing::Host().reset();
    ASSERT_EQ(ReadWord(), 0);
    EXPECT_EQ(Value(), 0xBEEF);
    EXPECT_EQ(peer.requests.size(), 1u);  // no retry, no association
    EXPECT_EQ(peer.polls, 4);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_TRUE(testing::Host().log.empty());
    // 5 ms before the request and before each poll, each with its RTS lead.
    EXPECT_EQ(Sleeps(), (std::vector<std::uint64_t>{5, 1, 5, 1, 5, 1, 5, 1, 5, 1}));
}

TEST_F(PauseLineTest, ABusyStationIsPolledOnlyWithinTheReadTimeOut) {
    Start("\nPAUSE 5\n");
    peer.busyPolls = 1000;  // never ready within the read time-out
    testing::Host().reset();
    const std::uint64_t startMs = os.nowMs();
    EXPECT_EQ(ReadWord(), 1);
    // Each exchange polls once and then 1000 ms / 15 ms = 66 times more
    // (pause, RTS lead, poll and SC at 9600 baud), and ends as busy: the
    // next attempt follows without an association.
    EXPECT_EQ(peer.requests.size(), 3u);
    EXPECT_EQ(peer.polls, 3 * 67);
    EXPECT_EQ(peer.associations, 0);
    EXPECT_EQ(testing::Host().texts(), std::vector<std::string>{"VpiK701: station 2 busy (SC to the poll)"});
    EXPECT_LE(os.nowMs() - startMs, 3u * (1000u + 2u * 6u + 20u));
}

TEST_F(PauseLineTest, APauseBelowTheBusIdleTimeIsRaisedToIt) {
    Start("\nPAUSE 1\n");
    EXPECT_EQ(vpi.pauseMs, 1u);
    EXPECT_TRUE(Logged("VpiK701: pause between frames 4 ms (raised to the bus idle time at 9600 baud)"));
    os.clearCalls();
    ASSERT_EQ(ReadWord(), 0);
    EXPECT_EQ(Sleeps(), (std::vector<std::uint64_t>{4, 1, 4, 1}));

    // At 19200 baud the idle time is 2 ms; a pause of 0 is raised to it too,
    // one above 40 is held at 40 and logged as nothing special.
    Run(VPI_END_VPI, nullptr);
    testing::Host().reset();
    Start("\npause 0\n", 19200);
    EXPECT_TRUE(Logged("VpiK701: pause between frames 2 ms (raised to the bus idle time at 19200 baud)"));
    Run(VPI_END_VPI, nullptr);
    testing::Host().reset();
    Start("\nPAUSE 400\n");
    EXPECT_EQ(vpi.pauseMs, 40u);
    for (const std::string& line : testing::Host().texts())
        EXPECT_EQ(line.find("pause between frames"), std::string::npos) << line;
}

}  // namespace
}  // namespace plclink
