#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "scripted_platform.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

using Names = std::vector<std::string>;

LineConfig Config(const char* name, LineSettings settings = {9600, 8, 0, 2}) {
    LineConfig c{};
    std::memcpy(c.portName, name, std::strlen(name) + 1);
    c.settings = settings;
    c.controlFlags = kDriverControlFlags;
    return c;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { testing::Host().reset(); }
    ScriptedPlatform os;
};

TEST_F(SerialPortTest, OpenConfiguresThePortInOrder) {
    LineHandle h = OpenLine(Config("COM1", {19200, 7, 2, 1}));
    ASSERT_NE(h, kNoLine);
    ASSERT_NE(h, kNullLine);
    EXPECT_EQ(os.callNames(), (Names{"openPort", "getLineState", "setTimeouts", "setLineState",
                                     "setupQueues"}));
    EXPECT_EQ(os.calls[0].text, "COM1");
    EXPECT_EQ(os.calls[2].args, (std::vector<std::uint64_t>{h, 0, 0, 1000, 0, 0}));
    EXPECT_EQ(os.calls[4].args, (std::vector<std::uint64_t>{h, 1200, 1200}));
    const LineState& s = os.port(h)->state;
    EXPECT_EQ(s.baudRate, 19200u);
    EXPECT_EQ(s.byteSize, 7);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.parity, 1);
    EXPECT_TRUE(s.binary);
    EXPECT_TRUE(s.parityCheck);
    EXPECT_FALSE(s.outxCtsFlow || s.outxDsrFlow || s.dsrSensitivity || s.outX || s.inX ||
                 s.errorChar || s.nullDiscard || s.abortOnError);
    EXPECT_EQ(s.dtrControl, 1);
    EXPECT_EQ(s.rtsControl, 0);
    EXPECT_EQ(s.errorCharValue, static_cast<char>(0xFC));
    EXPECT_TRUE(testing::Host().log.empty());
}

TEST_F(SerialPortTest, ControlFlagsChooseDtrAndRtsModes) {
    struct Case { std::uint16_t flags; std::uint8_t dtr, rts; };
    for (Case c : {Case{0x0000, 0, 0}, Case{0x0001, 1, 0}, Case{0x8000, 2, 0},
                   Case{0x8100, 1, 0}, Case{0x0002, 0, 1}, Case{0x0200, 0, 1},
                   Case{0x1000, 0, 2}, Case{0x2000, 0, 3}, Case{0x3000, 0, 2},
                   Case{0x2202, 0, 1}}) {
        LineHandle h = kNoLine;
        ASSERT_EQ(OpenComPort("COM2", {9600, 8, 0, 2}, c.flags, &h), kPortOpened);
        EXPECT_EQ(os.port(h)->state.dtrControl, c.dtr) << std::hex << c.flags;
        EXPECT_EQ(os.port(h)->state.rtsControl, c.rts) << std::hex << c.flags;
        ASSERT_EQ(CloseComPort(h), 0);
    }
}

TEST_F(SerialPortTest, NullLineInAnyCaseOpensNothing) {
    for (const char* name : {"NULLDEV", "nulldev", "NullDev"}) {
        EXPECT_EQ(OpenLine(Config(name)), kNullLine) << name;
    }
    EXPECT_TRUE(os.calls.empty());
    os.missingPorts = {"NULLDEV1"};
    EXPECT_EQ(OpenLine(Config("NULLDEV1")), kNoLine);  // a real open was tried
    EXPECT_EQ(os.callNames(), Names{"openPort"});
}

TEST_F(SerialPortTest, NulDeviceIsUsedUnconfiguredOnlyInUpperCase) {
    os.noLineStatePorts = {"NUL", "nul"};
    LineHandle h = OpenLine(Config("NUL"));
    EXPECT_NE(h, kNoLine);
    EXPECT_EQ(os.callNames(), Names{"openPort"});
    os.clearCalls();

    LineHandle other = kNoLine;
    EXPECT_EQ(OpenComPort("nul", {9600, 8, 0, 2}, kDriverControlFlags, &other),
              kPortStateUnreadable);
    EXPECT_EQ(os.callNames(), (Names{"openPort", "getLineState", "closePort"}));
    EXPECT_EQ(os.portNamed("nul"), nullptr);
}

TEST_F(SerialPortTest, EveryFailureGivesItsCodeAndLeavesThePortClosed) {
    struct Case { const char* op; int code; };
    for (Case c : {Case{"openPort", kPortOpenFailed}, Case{"getLineState", kPortStateUnreadable},
                   Case{"setTimeouts", kPortOpenFailed}, Case{"setLineState", kPortStateRefused}}) {
        os.clearCalls();
        os.fail(c.op);
        LineHandle h = 0x1234;
        EXPECT_EQ(OpenComPort("COM3", {9600, 8, 0, 2}, kDriverControlFlags, &h), c.code) << c.op;
        EXPECT_EQ(os.portNamed("COM3"), nullptr) << c.op;
        if (std::string(c.op) == "openPort") {
            EXPECT_EQ(h, kNullLine);
        } else {
            EXPECT_EQ(os.callNames().back(), "closePort") << c.op;
            EXPECT_EQ(os.calls.back().args[0], h) << c.op;  // handle stored at once
        }
        os.fail(c.op);
        EXPECT_EQ(OpenLine(Config("COM3")), kNoLine) << c.op;
    }
    // Queue sizes are only a request.
    os.fail("setupQueues");
    EXPECT_NE(OpenLine(Config("COM3")), kNoLine);
    EXPECT_TRUE(testing::Host().log.empty());
}

TEST_F(SerialPortTest, SecondOpenOfAnOpenPortFails) {
    ASSERT_NE(OpenLine(Config("COM1")), kNoLine);
    EXPECT_EQ(OpenLine(Config("COM1")), kNoLine);
    os.missingPorts = {"COM9"};
    EXPECT_EQ(OpenLine(Config("COM9")), kNoLine);
}

TEST_F(SerialPortTest, NameWithoutNulInItsFieldIsNeverOpened) {
    LineConfig c = Config("COM1");
    std::memcpy(c.portName, "ABCDEFGHIJKL", 12);
    EXPECT_EQ(OpenLine(c), kNoLine);
    std::memcpy(c.portName, "NULLDEVNULLD", 12);
    EXPECT_EQ(OpenLine(c), kNoLine);
    EXPECT_TRUE(os.calls.empty());
    std::memcpy(c.portName, "ABCDEFGHIJK", 12);  // 11 characters and the NUL
    EXPECT_NE(OpenLine(c), kNoLine);
    EXPECT_EQ(os.calls[0].text, "ABCDEFGHIJK");
}

TEST_F(SerialPortTest, CloseReportsFailure) {
    LineHandle h = OpenLine(Config("COM1"));
    os.fail("closePort");
    EXPECT_EQ(CloseComPort(h), kPortCloseFailed);
    EXPECT_EQ(CloseComPort(h), 0);
    EXPECT_EQ(CloseComPort(h), kPortCloseFailed);  // already closed
}

TEST_F(SerialPortTest, ReadTimeoutReturnsThePreviousOneAndWritesOnlyChanges) {
    LineHandle h = OpenLine(Config("COM1"));
    os.clearCalls();
    EXPECT_EQ(SetReadTimeout(h, 100), 100u);
    EXPECT_EQ(os.callNames(), Names{"getTimeouts"});
    EXPECT_EQ(SetReadTimeout(h, 5), 100u);
    EXPECT_EQ(os.port(h)->timeouts.readTotalConstant, 50u);
    EXPECT_EQ(os.callsOf("setTimeouts").back().args,
              (std::vector<std::uint64_t>{h, 0, 0, 50, 0, 0}));
    EXPECT_EQ(SetReadTimeout(h, 30), 5u);

    // A previous value under 10 ms comes back as 0.
    os.port(h)->timeouts.readTotalConstant = 9;
    EXPECT_EQ(SetReadTimeout(h, 30), 0u);
    EXPECT_EQ(os.port(h)->timeouts.readTotalConstant, 300u);
}

TEST_F(SerialPortTest, ReadTimeoutIsNeverZeroNorWrapsRound) {
    LineHandle h = OpenLine(Config("COM1"));
    EXPECT_EQ(SetReadTimeout(h, 7), 100u);
    EXPECT_EQ(SetReadTimeout(h, 0), 7u);
    EXPECT_EQ(os.port(h)->timeouts.readTotalConstant, 1000u);
    SetReadTimeout(h, 0xFFFFFFFFu);
    EXPECT_GE(os.port(h)->timeouts.readTotalConstant, 0xFFFFFFF0u);
}

TEST_F(SerialPortTest, ReadTimeoutFailuresReturnZeroAndChangeNothing) {
    LineHandle h = OpenLine(Config("COM1"));
    EXPECT_EQ(SetReadTimeout(kNullLine, 20), 0u);
    os.fail("getTimeouts");
    EXPECT_EQ(SetReadTimeout(h, 20), 0u);
    os.fail("setTimeouts");
    EXPECT_EQ(SetReadTimeout(h, 20), 0u);
    EXPECT_EQ(os.port(h)->timeouts.readTotalConstant, 1000u);
}

}  // namespace
}  // namespace plclink
