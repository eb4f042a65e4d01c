// The module end to end against ppi-sim serving as a serial device server on
// 127.0.0.1: the instance's initialization file names the server, and the
// line is a TCP connection over the real socket layer and the real clock.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/vpi_instance.h"
#include "entry/command_handlers.h"
#include "fake_host.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace plclink {
namespace {

using Texts = std::vector<std::string>;

bool Has(const Texts& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

class SimOverTcp : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
        home_ = std::filesystem::current_path();
        dir_ = testing::MakeTempDirectory("plclink-tcp-");
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        EndInstance();
        sim_.reset();
        std::filesystem::current_path(home_);
        std::filesystem::remove_all(dir_);
    }

    // Starts ppi-sim on a free port of 127.0.0.1 with `options`, its trace
    // going to `tracePath` (empty: nowhere); its address.
    std::string StartSim(std::vector<std::string> options = {}, const std::string& tracePath = "") {
        options.insert(options.end(), {"--tcp", "127.0.0.1:0", "--station", "2", "--exit-after", "120"});
        if (!tracePath.empty()) options.push_back("--trace");
        sim_ = std::make_unique<kit::SimProcess>(PPI_SIM_PATH, options, tracePath);
        EXPECT_TRUE(sim_->running());
        return sim_->portName().substr(4);  // past "tcp:"
    }

    // ColdStart on port COM7 with the file naming `server`; its result.
    std::int32_t Start(const std::string& server, std::uint32_t readTimeoutTenMs = 50) {
        std::ofstream("vpiK701.int") << "\nTCP " << server << "\n";
        ColdStartRequest request{};
        std::strcpy(request.portName, "COM7");
        request.lineSwitch = 1;
        request.readTimeout = readTimeoutTenMs;
        request.settings = {9600, 8, 0, 2};
        VpiCallBlock block{&instance, VPI_COLD_START, 1, 0, &request};
        const std::int32_t rc = VpiMain(&block);
        started_ = true;
        return rc;
    }
    void EndInstance() {
        if (!started_) return;
        VpiCallBlock block{&instance, VPI_END_VPI, 1, 0, nullptr};
        VpiMain(&block);
        started_ = false;
    }

    // The word tag `gas` (of station 2), written or read.
    std::int32_t Access(std::uint32_t command, const char* gas, std::uint16_t* value) {
        std::string text = gas;
        GateParseRecord parsed{};
        parsed.gas = text.data();
        VpiCallBlock parse{&instance, VPI_SINGLE_PARSE, 1, 0, &parsed};
        EXPECT_EQ(VpiMain(&parse), 0) << gas;
        std::uint8_t buffer[4] = {};
        std::memcpy(buffer + 2, value, 2);
        TagAccessRecord record{};
        record.plcNumber = parsed.plcNumber;
        record.memArea = parsed.memArea;
        record.memAreaBits = parsed.memAreaBits;
        record.elementIndex = parsed.elementIndex;
        record.bitNumber = parsed.bitNumber;
        record.sizeBits = parsed.sizeBits;
        record.itemCount = 1;
        record.dataBuffer = buffer;
        VpiCallBlock block{&instance, command, 1, 0, &record};
        const std::int32_t rc = VpiMain(&block);
        std::memcpy(value, buffer + 2, 2);
        return rc;
    }
    std::int32_t Write(const char* gas, std::uint16_t value) {
        return Access(VPI_WRITE_VALUE, gas, &value);
    }
    std::int32_t Read(const char* gas, std::uint16_t* value) { return Access(VPI_READ_VALUE, gas, value); }
    static Texts Logged() { return testing::Host().texts(); }

    VpiInstance instance{};
    std::unique_ptr<kit::SimProcess> sim_;

private:
    std::filesystem::path home_, dir_;
    bool started_ = false;
};

TEST_F(SimOverTcp, ReadsAndWritesThroughTheServerAndSaysTheLineSettingsAreItsOwn) {
    const std::string server = StartSim();
    ASSERT_EQ(Start(server), 0) << ::testing::PrintToString(Logged());
    EXPECT_TRUE(Has(Logged(), "COM7: TCP " + server + " connected; baud rate, parity and RTS/DTR are the server's settings"));
    EXPECT_EQ(std::string(instance.lineConfig.portName), "COM7");
    ASSERT_EQ(Write("02VW0100", 0xBEEF), 0);
    std::uint16_t value = 0;
    ASSERT_EQ(Read("02VW0100", &value), 0);
    EXPECT_EQ(value, 0xBEEF);
}

TEST_F(SimOverTcp, AServerThatIsNotThereOrANameThatDoesNotResolveFailsTheStartSayingWhich) {
    const std::string server = StartSim();
    sim_.reset();  // nobody listens on the port any more
    EXPECT_EQ(Start(server), 2);
    EXPECT_TRUE(Has(Logged(), "COM7: TCP " + server + ": connection refused"));
    EXPECT_TRUE(Has(Logged(), "VpiK701: Fail to open COM7"));
    EndInstance();
    testing::Host().log.clear();
    EXPECT_EQ(Start("plclink-test.invalid:4001"), 2);
    EXPECT_TRUE(Has(Logged(), "COM7: TCP plclink-test.invalid:4001: name not found"));
}

// The server closes the connection halfway through an answer: that attempt
// fails, the next one connects again before it sends, and the command after
// needs nothing done to it.
TEST_F(SimOverTcp, AConnectionDroppedMidAnswerIsMadeAgainByTheNextAttempt) {
    ASSERT_EQ(Start(StartSim({"--fault", "drop:next:1"})), 0);
    std::uint16_t value = 0;
    const std::int32_t first = Read("02VW0100", &value);
    EXPECT_TRUE(Has(Logged(), "connection lost (closed by the server)")) << ::testing::PrintToString(Logged());
    EXPECT_TRUE(Has(Logged(), "connected again"));
    EXPECT_EQ(first, 0);
    testing::Host().log.clear();
    ASSERT_EQ(Write("02VW0100", 0x1234), 0);
    ASSERT_EQ(Read("02VW0100", &value), 0);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(Logged(), Texts{});
}

TEST_F(SimOverTcp, LatencyWithinTheReadTimeOutIsCarriedBeyondItIsSilence) {
    ASSERT_EQ(Start(StartSim({"--latency", "150"}), 50), 0);
    std::uint16_t value = 0;
    EXPECT_EQ(Read("02VW0100", &value), 0);
    EndInstance();
    testing::Host().log.clear();
    ASSERT_EQ(Start(StartSim({"--latency", "400"}), 20), 0);
    EXPECT_EQ(Read("02VW0100", &value), 2);
    // Answers that come too late are silence on a connection that stays.
    EXPECT_TRUE(Has(Logged(), "VpiK701: recv. SC Ack fail"));
    EXPECT_FALSE(Has(Logged(), "connection lost"));
}

// A master that connects while another is served is closed at once, and the
// trace says so; the first one's line goes on as before.
TEST_F(SimOverTcp, ASecondMasterIsClosedAtOnceWhileTheFirstIsServed) {
    const std::string server = StartSim({}, "sim.trace");
    ASSERT_EQ(Start(server), 0) << ::testing::PrintToString(Logged());
    ASSERT_EQ(Write("02VW0100", 0x5150), 0);
    testing::Host().log.clear();

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoul(server.substr(server.rfind(':') + 1))));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    const int second = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(second, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    pollfd closed{second, POLLIN, 0};
    ASSERT_EQ(poll(&closed, 1, 10000), 1) << "the second connection was left waiting";
    char byte = 0;
    EXPECT_EQ(recv(second, &byte, 1, 0), 0);  // closed, not reset nor served
    close(second);

    std::uint16_t value = 0;
    ASSERT_EQ(Read("02VW0100", &value), 0);
    EXPECT_EQ(value, 0x5150);
    EXPECT_EQ(Logged(), Texts{});
    std::ifstream in("sim.trace");
    const std::string trace{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(trace.find("-- connection from 127.0.0.1:"), std::string::npos) << trace;
    EXPECT_NE(trace.find(" refused: the line is taken"), std::string::npos) << trace;
}

}  // namespace
}  // namespace plclink
