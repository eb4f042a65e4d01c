// The serial layer over the real Linux platform on pseudo-terminals.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "platform/platform.h"
#include "pty_pair.h"
#include "serial/line_io.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

LineConfig Config(const std::string& name, LineSettings settings = {9600, 8, 0, 2}) {
    LineConfig c{};
    std::memcpy(c.portName, name.c_str(), name.size() + 1);
    c.settings = settings;
    c.controlFlags = kDriverControlFlags;
    return c;
}

class PtySerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        ASSERT_TRUE(pty.ok());
        ASSERT_LE(pty.name().size(), 11u);
        line = OpenLine(Config(pty.name()));
        ASSERT_NE(line, kNoLine);
        ASSERT_NE(line, kNullLine);
    }
    void TearDown() override {
        if (line != kNoLine) {
            EXPECT_EQ(CloseComPort(line), 0);
        }
    }
    LineState State() {
        LineState s{};
        EXPECT_TRUE(Platform().getLineState(line, &s));
        return s;
    }

    testing::PtyPair pty;
    LineHandle line = kNoLine;
};

TEST_F(PtySerialTest, OpenConfiguresTheLine) {
    const LineState s = State();
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.byteSize, 8);  // a pseudo-terminal has no parity: never refused for it
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_TRUE(s.parityCheck);
    EXPECT_FALSE(s.outX || s.inX || s.outxCtsFlow);
    LineTimeouts t{};
    ASSERT_TRUE(Platform().getTimeouts(line, &t));
    EXPECT_EQ(t.readTotalConstant, 1000u);

    // Other settings on the same port, by its full path.
    ASSERT_EQ(CloseComPort(line), 0);
    LineHandle h = kNoLine;
    for (LineSettings settings : {LineSettings{19200, 8, 2, 0}, LineSettings{300, 7, 0, 1},
                                  LineSettings{4800, 8, 0, 3}, LineSettings{9600, 5, 0, 4}}) {
        ASSERT_EQ(OpenComPort(pty.path().c_str(), settings, kDriverControlFlags, &h), kPortOpened)
            << settings.baud;
        LineState s2{};
        ASSERT_TRUE(Platform().getLineState(h, &s2));
        EXPECT_EQ(s2.baudRate, settings.baud);
        EXPECT_EQ(s2.stopBits, settings.stopBits);
        ASSERT_EQ(CloseComPort(h), 0);
    }
    line = OpenLine(Config(pty.name()));
    ASSERT_NE(line, kNoLine);
    LineState fast = State();
    fast.baudRate = 115200;
    EXPECT_TRUE(Platform().setLineState(line, &fast));
    fast.baudRate = 187500;
    if (Platform().setLineState(line, &fast)) {
        EXPECT_EQ(State().baudRate, 187500u);
    }
}

TEST_F(PtySerialTest, StatesThatCannotBeSetAreRefused) {
    ASSERT_EQ(CloseComPort(line), 0);
    line = kNoLine;
    LineHandle h = kNoLine;
    for (LineSettings settings : {LineSettings{9600, 8, 1, 2}, LineSettings{9600, 9, 0, 2},
                                  LineSettings{9600, 4, 0, 2}, LineSettings{9600, 8, 0, 5},
                                  LineSettings{0, 8, 0, 2}}) {
        EXPECT_EQ(OpenComPort(pty.name().c_str(), settings, kDriverControlFlags, &h),
                  kPortStateRefused);
    }
    // Every refusal closed the port again.
    line = OpenLine(Config(pty.name()));
    EXPECT_NE(line, kNoLine);
}

TEST_F(PtySerialTest, PortIsExclusiveAlsoForOtherProcesses) {
    EXPECT_EQ(OpenLine(Config(pty.name())), kNoLine);
    LineHandle h = kNoLine;
    EXPECT_EQ(OpenComPort(pty.path().c_str(), {9600, 8, 0, 2}, kDriverControlFlags, &h),
              kPortOpenFailed);
    EXPECT_EQ(h, kNullLine);
    EXPECT_EQ(Platform().lastError(), static_cast<std::uint32_t>(EBUSY));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(OpenLine(Config(pty.name())) == kNoLine ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_EQ(CloseComPort(line), 0);
    line = OpenLine(Config(pty.name()));
    EXPECT_NE(line, kNoLine);
}

TEST_F(PtySerialTest, OtherNames) {
    EXPECT_EQ(OpenLine(Config("nosuchtty9")), kNoLine);
    EXPECT_EQ(Platform().lastError(), static_cast<std::uint32_t>(ENOENT));

    LineHandle h = OpenLine(Config("NUL"));
    ASSERT_NE(h, kNoLine);
    std::uint32_t n = 99;
    std::uint8_t buf[4];
    EXPECT_EQ(WriteBytes(h, "abc", 3, &n), kIoDone);
    EXPECT_EQ(ReadBytes(h, buf, 4, &n), kIoFailed);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(CloseComPort(h), 0);
    EXPECT_EQ(OpenComPort("nul", {9600, 8, 0, 2}, kDriverControlFlags, &h), kPortStateUnreadable);

    EXPECT_EQ(CloseComPort(h), kPortCloseFailed);  // already closed: refused, not followed
    EXPECT_FALSE(Platform().setEventMask(kNullLine, kEventTxEmpty));
    EXPECT_FALSE(Platform().setEventMask(kNoLine, kEventTxEmpty));
}

TEST_F(PtySerialTest, WritesReachTheStationAndLineControlIsQuiet) {
    ASSERT_TRUE(Platform().setEventMask(line, kEventTxEmpty));
    const Bytes frame{0x10, 0x02, 0x00, 0x49, 0x4B, 0x16};
    SetRts(line, 1);
    std::uint32_t written = 0;
    EXPECT_EQ(WriteBytes(line, frame.data(), 6, &written), kIoDone);
    WaitTxEmpty(line);
    SetRts(line, 0);
    SetDtr(line, 0);
    SetDtr(line, 1);
    ClearLineErrors(line);
    EXPECT_EQ(pty.receive(6), frame);
    EXPECT_TRUE(testing::Host().log.empty());

    ASSERT_TRUE(Platform().setEventMask(line, 0));
    WaitTxEmpty(line);
    EXPECT_EQ(testing::Host().texts(),
              std::vector<std::string>{"SG: WaitTxEmpty() WaitCommEvent() EV_TXEMPTY fail"});
}

TEST_F(PtySerialTest, ReadsCollectExactCounts) {
    Bytes buf(8, 0);
    std::uint32_t got = 0;
    pty.send({1, 2, 3, 4});
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        pty.send({5, 6, 7});
    });
    EXPECT_EQ(ReadBytes(line, buf.data(), 6, &got), kIoDone);
    late.join();
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 6), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ReadBytes(line, buf.data(), 1, &got), kIoDone);
    EXPECT_EQ(buf[0], 7);

    // Four of six, then silence: 7 with the count that came.
    SetReadTimeout(line, 10);
    pty.send({8, 9, 10, 11});
    EXPECT_EQ(ReadBytes(line, buf.data(), 6, &got), kIoFailed);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(buf[3], 11);
}

TEST_F(PtySerialTest, SilentReadEndsAfterTheTimeOut) {
    ASSERT_EQ(SetReadTimeout(line, 25), 100u);
    std::uint8_t buf[4];
    std::uint32_t got = 99;
    const auto start = Clock::now();
    EXPECT_EQ(ReadBytes(line, buf, 4, &got), kIoFailed);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(got, 0u);
    EXPECT_GE(ms, 240);      // never before the time-out
    EXPECT_LT(ms, 10000);    // and not held for ever
}

TEST_F(PtySerialTest, PurgeDiscardsWhatIsWaiting) {
    SetReadTimeout(line, 30);
    pty.send(Bytes(1100, 0x55));
    std::uint32_t errors = 0, waiting = 0;
    for (int i = 0; i < 100 && waiting < 1100; ++i) {
        ASSERT_TRUE(Platform().clearErrors(line, &errors, &waiting));
        if (waiting < 1100) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(waiting, 1100u);
    EXPECT_EQ(PurgeInput(line), 0);
    ASSERT_TRUE(Platform().clearErrors(line, &errors, &waiting));
    EXPECT_EQ(waiting, 0u);
    LineTimeouts t{};
    ASSERT_TRUE(Platform().getTimeouts(line, &t));
    EXPECT_EQ(t.readTotalConstant, 300u);
    EXPECT_EQ(PurgeInput(line), 0);  // nothing waiting
}

}  // namespace
}  // namespace plclink
