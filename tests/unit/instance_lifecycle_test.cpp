#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "entry/command_handlers.h"
#include "core/vpi_instance.h"
#include "fake_host.h"
#include "scripted_platform.h"
#include "temp_dir.h"

namespace plclink {
namespace {

using Names = std::vector<std::string>;
using Texts = std::vector<std::string>;

// Whether `text` fits `pattern`, where 'A' stands for an upper-case letter,
// 'a' for a lower-case one, '9' for a digit and '_' for a space or a digit.
bool MatchesPattern(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char p = pattern[i];
        const bool digit = c >= '0' && c <= '9';
        const bool fits = p == 'A' ? (c >= 'A' && c <= 'Z')
                        : p == 'a' ? (c >= 'a' && c <= 'z')
                        : p == '9' ? digit
                        : p == '_' ? (digit || c == ' ')
                                   : c == p;
        if (!fits) return false;
    }
    return true;
}

ColdStartRequest Request(const char* port, std::uint32_t readTimeout = 30,
                         std::uint32_t lineSwitch = 1) {
    ColdStartRequest r{};
    std::memcpy(r.portName, port, std::strlen(port) + 1);
    r.lineSwitch = lineSwitch;
    r.readTimeout = readTimeout;
    r.settings = {9600, 8, 0, 2};
    return r;
}

LineChangeRequest Change(const char* port, std::uint32_t readTimeout, LineSettings settings) {
    LineChangeRequest r{};
    std::memcpy(r.portName, port, std::strlen(port) + 1);
    r.readTimeout = readTimeout;
    r.settings = settings;
    return r;
}

// Each test runs in its own empty current directory, where the
// initialization files are looked for.
class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::Host().reset();
        instanceCount = 0;
        saved_ = std::filesystem::current_path();
        dir_ = testing::MakeTempDirectory("plclink-lifecycle-");
        std::filesystem::current_path(dir_);
        vpi = NewInstance();
    }
    void TearDown() override {
        std::filesystem::current_path(saved_);
        std::filesystem::remove_all(dir_);
    }

    static std::unique_ptr<VpiInstance> NewInstance() {
        auto instance = std::make_unique<VpiInstance>();
        std::memset(instance.get(), 0, sizeof(VpiInstance));
        return instance;
    }
    void WriteFile(const std::string& name, const std::string& text) {
        std::ofstream(name) << text;
    }
    std::int32_t Run(std::uint32_t command, void* params, VpiInstance* instance = nullptr,
                     std::int32_t vpiNumber = 5) {
        VpiCallBlock block{instance ? instance : vpi.get(), command, vpiNumber, 0, params};
        return VpiMain(&block);
    }
    std::int32_t Start(const char* port, VpiInstance* instance = nullptr,
                       std::int32_t vpiNumber = 5) {
        ColdStartRequest r = Request(port);
        return Run(VPI_COLD_START, &r, instance, vpiNumber);
    }
    Texts Log() const { return testing::Host().texts(); }
    void ClearLog() { testing::Host().log.clear(); }
    std::vector<std::uint64_t> Escapes() const {
        std::vector<std::uint64_t> out;
        for (const auto& c : os.callsOf("escapeFunction")) out.push_back(c.args[1]);
        return out;
    }

    ScriptedPlatform os;
    std::unique_ptr<VpiInstance> vpi;

private:
    std::filesystem::path saved_, dir_;
};

TEST_F(LifecycleTest, FirstColdStartNamesOpensAndConfiguresTheLine) {
    ASSERT_EQ(Start("COM1"), 0);
    const VpiInstance& v = *vpi;
    EXPECT_STREQ(v.VpiName, "VpiK701");
    EXPECT_EQ(v.instanceNumber, 1);
    EXPECT_EQ(v.lineActive, 1u);
    EXPECT_EQ(v.lineHandle, os.handleOf("COM1"));
    EXPECT_STREQ(v.lineConfig.portName, "COM1");
    EXPECT_EQ(v.lineConfig.settings.baud, 9600);
    EXPECT_EQ(v.lineConfig.settings.parity, 2);
    EXPECT_EQ(v.lineConfig.controlFlags, 0x0101);
    EXPECT_EQ(v.readTimeout, 30u);
    EXPECT_EQ(v.vpiNumber, 5);
    EXPECT_EQ(v.requestFc, 0x7C);
    EXPECT_EQ(v.threeDigitPlc, 0u);
    EXPECT_EQ(testing::Host().registeredNames, Names{"KORCLIENT05"});

    EXPECT_EQ(os.callNames(),
              (Names{"fileVersionInfoSize", "fileVersionInfo", "queryFileVersion", "openPort",
                     "getLineState", "setTimeouts", "setLineState", "setupQueues", "getTimeouts",
                     "setTimeouts", "setEventMask", "escapeFunction"}));
    EXPECT_EQ(os.calls[0].text, "plclink.dll");
    EXPECT_EQ(os.port(v.lineHandle)->timeouts.readTotalConstant, 300u);
    EXPECT_EQ(os.port(v.lineHandle)->eventMask, 0x0004u);
    EXPECT_EQ(Escapes(), std::vector<std::uint64_t>{4});

    const Texts log = Log();
    ASSERT_EQ(log.size(), 3u);
    const std::string prefix = "VpiK701: Version : 1,2,3,4, version compiled on ";
    EXPECT_EQ(log[0].substr(0, prefix.size()), prefix);
    EXPECT_TRUE(MatchesPattern(log[0].substr(prefix.size()), "Aaa _9 9999 at time 99:99:99"))
        << log[0];
    EXPECT_EQ(log[1], "vpiK705: Initialization file 'vpiK705.int' not found!");
    EXPECT_EQ(log[2], "VpiK701: ColdStart() end OK");
    for (const auto& l : testing::Host().log) EXPECT_EQ(l.category, 32);
}

TEST_F(LifecycleTest, VersionFailuresAreLoggedUnderTheOldNameAndTheStartGoesOn) {
    struct Case { const char* op; const char* line; };
    for (Case c : {Case{"fileVersionInfo", "Old: GetFileVersionInfo failed "},
                   Case{"queryFileVersion", "Old: VerQueryValue failed "},
                   Case{"", "Old: VerQueryValue failed , uInfoSize = 0"}}) {
        testing::Host().reset();
        auto v = NewInstance();
        std::strcpy(v->VpiName, "Old");
        if (*c.op) {
            os.fail(c.op);
        } else {
            os.versionInfoLength = 0;
        }
        EXPECT_EQ(Start("NULLDEV", v.get()), 0);
        const Texts log = Log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], c.line);
        EXPECT_EQ(log[1].rfind(std::string(v->VpiName) + ": Version not found, version compiled on ", 0), 0u)
            << log[1];
    }
    // A name the record held without its NUL is not read past its field.
    testing::Host().reset();
    auto v = NewInstance();
    std::memset(v->VpiName, 'x', sizeof v->VpiName);
    os.fail("fileVersionInfo");
    Start("NULLDEV", v.get());
    EXPECT_EQ(Log()[0], std::string(35, 'x') + ": GetFileVersionInfo failed ");
}

TEST_F(LifecycleTest, RefusedRegistrationStopsAfterNaming) {
    testing::Host().registrationStatus = 7;
    vpi->lineHandle = 0x77;
    EXPECT_EQ(Start("COM1"), 2);
    EXPECT_STREQ(vpi->VpiName, "VpiK701");
    EXPECT_EQ(instanceCount, 1);
    EXPECT_EQ(vpi->lineHandle, 0x77u);
    EXPECT_TRUE(os.callsOf("openPort").empty());
    EXPECT_EQ(Log().back(), "Error while registering as a Korvan client, rc = 7");
}

TEST_F(LifecycleTest, ClientNameAndFileUseTheCallBlocksNumber) {
    vpi->vpiNumber = 99;  // what the record held: not used
    ColdStartRequest r = Request("NULLDEV");
    ASSERT_EQ(Run(VPI_COLD_START, &r, nullptr, 0x10134), 0);
    EXPECT_EQ(testing::Host().registeredNames, Names{"KORCLIENT52"});  // low byte 0x34
    EXPECT_EQ(vpi->vpiNumber, 0x34);
    EXPECT_EQ(Log()[2], "vpiK7308: Initialization file 'vpiK7308.int' not found!");  // 0x0134
}

TEST_F(LifecycleTest, WithoutLineSwitchOnlyRegisters) {
    std::memset(vpi.get(), 0x5A, sizeof(VpiInstance));
    WriteFile("vpiK705.int", "3 DIGITS\n");
    ColdStartRequest r = Request("COM1", 30, 0);
    EXPECT_EQ(Run(VPI_COLD_START, &r), 0);
    EXPECT_EQ(vpi->lineActive, 0u);
    EXPECT_EQ(vpi->lineHandle, static_cast<LineHandle>(0x5A5A5A5A5A5A5A5AULL));
    EXPECT_EQ(vpi->readTimeout, 0x5A5A5A5Au);
    EXPECT_EQ(vpi->requestFc, 0x5A);
    EXPECT_EQ(vpi->threeDigitPlc, 0x5A5A5A5Au);
    EXPECT_EQ(vpi->lineConfig.portName[0], 0x5A);
    EXPECT_EQ(os.callNames(),
              (Names{"fileVersionInfoSize", "fileVersionInfo", "queryFileVersion"}));
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(LifecycleTest, NullLineStartsWithoutEventMask) {
    for (const char* name : {"NULLDEV", "nulldev"}) {
        testing::Host().reset();
        auto v = NewInstance();
        ASSERT_EQ(Start(name, v.get()), 0);
        EXPECT_EQ(v->lineHandle, kNullLine);
        const Texts log = Log();
        ASSERT_EQ(log.size(), 4u);
        EXPECT_EQ(log[1], std::string(v->VpiName) + ": ColdStart() SetCommMask() fail");
        EXPECT_EQ(log[3], std::string(v->VpiName) + ": ColdStart() end OK");
    }
    EXPECT_TRUE(os.callsOf("openPort").empty());
    EXPECT_TRUE(os.callsOf("escapeFunction").empty());
}

TEST_F(LifecycleTest, ZeroReadTimeoutMeansTheDefault) {
    ColdStartRequest r = Request("COM1", 0);
    ASSERT_EQ(Run(VPI_COLD_START, &r), 0);
    EXPECT_EQ(vpi->readTimeout, 100u);
    EXPECT_EQ(os.port(vpi->lineHandle)->timeouts.readTotalConstant, 1000u);
}

TEST_F(LifecycleTest, FailedOpenKeepsTheLineFields) {
    os.missingPorts = {"COM7"};
    vpi->lineHandle = 0x55;
    vpi->readTimeout = 3;
    EXPECT_EQ(Start("COM7"), 2);
    EXPECT_EQ(Log().back(), "VpiK701: Fail to open COM7");
    EXPECT_EQ(vpi->lineHandle, 0x55u);
    EXPECT_EQ(vpi->readTimeout, 3u);
    EXPECT_EQ(vpi->lineConfig.portName[0], 0);
    EXPECT_EQ(vpi->lineActive, 1u);
    EXPECT_EQ(vpi->requestFc, 0x7C);

    // A name that fills its field without a NUL is refused, and logged with
    // at most 11 characters.
    ColdStartRequest r = Request("COM1");
    std::memcpy(r.portName, "ABCDEFGHIJKL", 12);
    os.clearCalls();
    EXPECT_EQ(Run(VPI_COLD_START, &r), 2);
    EXPECT_EQ(Log().back(), "VpiK702: Fail to open ABCDEFGHIJK");
    EXPECT_TRUE(os.callsOf("openPort").empty());
}

TEST_F(LifecycleTest, SecondColdStartOnAnOpenPortFailsAndKeepsTheHandle) {
    ASSERT_EQ(Start("COM1"), 0);
    const LineHandle first = vpi->lineHandle;
    EXPECT_EQ(Start("COM1"), 2);
    EXPECT_STREQ(vpi->VpiName, "VpiK702");
    EXPECT_EQ(Log().back(), "VpiK702: Fail to open COM1");
    EXPECT_EQ(vpi->lineHandle, first);
    EXPECT_EQ(testing::Host().registeredNames.size(), 2u);
}

TEST_F(LifecycleTest, InitializationFileSwitchesThreeDigitNumbers) {
    struct Case { std::string text; std::uint32_t three; bool logged; };
    for (const Case& c : {Case{"use 3 digits here\n", 1, true}, Case{"3 DiGiTs", 1, true},
                          Case{"two\n3 DIGITS\n", 0, false}, Case{"", 0, false},
                          Case{"3  DIGITS\n", 0, false},
                          Case{std::string(300, ' ') + "3 DIGITS\n", 0, false}}) {
        testing::Host().reset();
        WriteFile("vpiK712.int", c.text);
        auto v = NewInstance();
        v->threeDigitPlc = 77;
        ColdStartRequest r = Request("NULLDEV");
        ASSERT_EQ(Run(VPI_COLD_START, &r, v.get(), 12), 0);
        EXPECT_EQ(v->threeDigitPlc, c.three) << c.text;
        const Texts log = Log();
        ASSERT_EQ(log.size(), c.logged ? 4u : 3u) << c.text;
        if (c.logged) {
            EXPECT_EQ(log[2], "VPIK712: 3 digit PLC address enabled for this VPI");
        }
    }
}

TEST_F(LifecycleTest, InstanceNumbersAreReusedAfterEndVpi) {
    auto second = NewInstance();
    auto third = NewInstance();
    ASSERT_EQ(Start("COM1"), 0);
    ASSERT_EQ(Start("COM2", second.get()), 0);
    EXPECT_STREQ(second->VpiName, "VpiK702");
    ClearLog();
    os.clearCalls();
    const LineHandle h = vpi->lineHandle;
    EXPECT_EQ(Run(VPI_END_VPI, nullptr), 0);
    EXPECT_EQ(Log(), (Texts{"VpiK701: EndVpi()", "VpiK701: No. of Instances left: 1"}));
    EXPECT_EQ(vpi->instanceNumber, -1);
    EXPECT_STREQ(vpi->VpiName, "VpiK701");
    EXPECT_EQ(vpi->lineHandle, kNoLine);
    EXPECT_EQ(os.callNames(), (Names{"escapeFunction", "escapeFunction", "closePort"}));
    EXPECT_EQ(Escapes(), (std::vector<std::uint64_t>{6, 4}));
    EXPECT_EQ(os.calls[2].args[0], h);
    EXPECT_TRUE(testing::Host().removedClients.empty());

    ASSERT_EQ(Start("COM1", third.get()), 0);
    EXPECT_STREQ(third->VpiName, "VpiK702");
    ClearLog();
    Run(VPI_END_VPI, nullptr, second.get());
    Run(VPI_END_VPI, nullptr, third.get());
    EXPECT_EQ(Log().back(), "VpiK702: No. of Instances left: 0");
    // Never below none, also for an instance that never started.
    auto never = NewInstance();
    std::strcpy(never->VpiName, "VpiK709");
    Run(VPI_END_VPI, nullptr, never.get());
    EXPECT_EQ(Log().back(), "VpiK709: No. of Instances left: 0");
}

TEST_F(LifecycleTest, ASecondEndVpiDoesNotCountTheInstanceAgain) {
    auto second = NewInstance();
    ASSERT_EQ(Start("COM1"), 0);
    ASSERT_EQ(Start("COM2", second.get()), 0);
    EXPECT_EQ(Run(VPI_END_VPI, nullptr), 0);
    ClearLog();
    EXPECT_EQ(Run(VPI_END_VPI, nullptr), 0);
    EXPECT_EQ(Log(), (Texts{"VpiK701: EndVpi()", "VpiK701: No. of Instances left: 1"}));
    EXPECT_EQ(instanceCount, 1);
    // The next start takes the number after the one still running.
    auto third = NewInstance();
    ASSERT_EQ(Start("COM3", third.get()), 0);
    EXPECT_STREQ(third->VpiName, "VpiK702");
}

TEST_F(LifecycleTest, CloseLineDropsTheLinesAndKeepsAHandleThatWouldNotClose) {
    ASSERT_EQ(Start("COM1"), 0);
    const LineHandle h = vpi->lineHandle;
    os.clearCalls();
    os.fail("closePort");
    EXPECT_EQ(Run(VPI_CLOSE_LINE, nullptr), 2);
    EXPECT_EQ(vpi->lineHandle, h);
    EXPECT_EQ(Escapes(), (std::vector<std::uint64_t>{6, 4}));
    EXPECT_EQ(Run(VPI_CLOSE_LINE, nullptr), 0);
    EXPECT_EQ(vpi->lineHandle, kNoLine);
    EXPECT_EQ(vpi->lineActive, 1u);
    os.clearCalls();
    EXPECT_EQ(Run(VPI_CLOSE_LINE, nullptr), 0);
    vpi->lineHandle = kNullLine;
    EXPECT_EQ(Run(VPI_CLOSE_LINE, nullptr), 0);
    EXPECT_EQ(vpi->lineHandle, kNoLine);
    EXPECT_TRUE(os.calls.empty());
}

TEST_F(LifecycleTest, FlushClearsAndPurgesAnOpenLineOnly) {
    ASSERT_EQ(Start("COM1"), 0);
    os.deliver({1, 2, 3});
    os.clearCalls();
    EXPECT_EQ(Run(VPI_FLUSH_LINE, nullptr), 0);
    EXPECT_EQ(os.pendingBytes(), 0u);
    EXPECT_EQ(os.callNames().front(), "clearErrors");
    os.fail("readPort", -1);
    os.deliver({4});
    EXPECT_EQ(Run(VPI_FLUSH_LINE, nullptr), 0);  // whatever the purge reports
    os.clearCalls();
    vpi->lineHandle = kNullLine;
    EXPECT_EQ(Run(VPI_FLUSH_LINE, nullptr), 0);
    EXPECT_TRUE(os.calls.empty());
}

TEST_F(LifecycleTest, ReopenGivesTheLineWhatColdStartGaveIt) {
    ASSERT_EQ(Start("COM1"), 0);
    ASSERT_EQ(Run(VPI_CLOSE_LINE, nullptr), 0);
    vpi->lineActive = 0;
    os.clearCalls();
    ASSERT_EQ(Run(VPI_REOPEN_LINE, nullptr), 0);
    const LineHandle h = os.handleOf("COM1");
    EXPECT_EQ(vpi->lineHandle, h);
    EXPECT_EQ(vpi->lineActive, 1u);
    EXPECT_EQ(os.port(h)->timeouts.readTotalConstant, 300u);
    EXPECT_EQ(os.port(h)->eventMask, 0x0004u);
    EXPECT_EQ(Escapes(), std::vector<std::uint64_t>{4});

    // Still open: the exclusive open fails and nothing changes.
    os.clearCalls();
    EXPECT_EQ(Run(VPI_REOPEN_LINE, nullptr), 2);
    EXPECT_EQ(vpi->lineHandle, h);
    EXPECT_EQ(os.callNames(), Names{"openPort"});
    EXPECT_EQ(Log().back(), "VpiK701: ColdStart() end OK");
}

TEST_F(LifecycleTest, ChangeLineToAnotherPortKeepsWhatTheRequestLeavesOut) {
    ASSERT_EQ(Start("COM1"), 0);
    const LineHandle old = vpi->lineHandle;
    LineChangeRequest r = Change("COM2", 0, {0, 7, 2, 1});
    os.clearCalls();
    ASSERT_EQ(Run(VPI_CHANGE_LINE, &r), 0);
    EXPECT_EQ(os.port(old), nullptr);
    const LineHandle h = os.handleOf("COM2");
    EXPECT_EQ(vpi->lineHandle, h);
    EXPECT_STREQ(vpi->lineConfig.portName, "COM2");
    EXPECT_EQ(os.port(h)->state.byteSize, 8);
    EXPECT_EQ(os.port(h)->state.parity, 2);
    EXPECT_EQ(os.port(h)->timeouts.readTotalConstant, 300u);
    EXPECT_EQ(os.port(h)->eventMask, 0x0004u);
    EXPECT_FALSE(os.port(h)->rts);

    r = Change("COM3", 45, {19200, 7, 2, 1});
    ASSERT_EQ(Run(VPI_CHANGE_LINE, &r), 0);
    const LineHandle h3 = os.handleOf("COM3");
    EXPECT_EQ(vpi->readTimeout, 45u);
    EXPECT_EQ(os.port(h3)->timeouts.readTotalConstant, 450u);
    EXPECT_EQ(os.port(h3)->state.baudRate, 19200u);
    EXPECT_EQ(vpi->lineConfig.settings.stopBits, 2);
}

TEST_F(LifecycleTest, ChangeLineOnTheSamePortFailsWithTheNewSettingsStored) {
    ASSERT_EQ(Start("COM1"), 0);
    const LineHandle old = vpi->lineHandle;
    LineChangeRequest r = Change("COM1", 20, {4800, 8, 0, 0});
    EXPECT_EQ(Run(VPI_CHANGE_LINE, &r), 2);
    EXPECT_EQ(vpi->lineHandle, old);
    EXPECT_NE(os.port(old), nullptr);
    EXPECT_EQ(vpi->lineConfig.settings.baud, 4800);
    EXPECT_EQ(vpi->readTimeout, 20u);
    EXPECT_TRUE(os.callsOf("closePort").empty());
}

TEST_F(LifecycleTest, MissingRecordsAreRefused) {
    EXPECT_EQ(Run(VPI_COLD_START, nullptr), 2);
    EXPECT_EQ(Run(VPI_CHANGE_LINE, nullptr), 2);
    for (std::uint32_t command : {1u, 2u, 11u, 12u, 13u, 15u}) {
        VpiCallBlock block{nullptr, command, 5, 0, nullptr};
        EXPECT_EQ(VpiMain(&block), 2) << command;
    }
    EXPECT_EQ(instanceCount, 0);
    EXPECT_TRUE(os.calls.empty());
}

}  // namespace
}  // namespace plclink
