// Runs commands 3 and 4 through VpiMain on a record filled with a sentinel
// and records what each parse wrote and logged.
#pragma once

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/vpi_instance.h"
#include "fake_host.h"
#include "plclink/vpi.h"

namespace plclink::testing {

inline constexpr unsigned char kSentinel = 0xA5;
inline constexpr std::int32_t kUntouched = static_cast<std::int32_t>(0xA5A5A5A5u);

struct ParseRun {
    std::int32_t result = -1;
    GateParseRecord record{};
    bool tailUntouched = false;  // the host's bytes after the record
    std::vector<LogLine> log;
};

// What an accepted parse writes.
struct Parsed {
    std::int32_t plcNumber;
    char memArea;
    std::int32_t elementIndex;
    std::uint32_t bitNumber;
    std::int32_t sizeBits;
};

class GateParseTest : public ::testing::Test {
protected:
    void SetUp() override {
        Host().reset();
        std::memset(&instance_, 0, sizeof instance_);
        std::strcpy(instance_.VpiName, "VpiK701");
    }

    void UseThreeDigitPlc() { instance_.threeDigitPlc = 1; }

    ParseRun Parse(std::uint32_t command, const char* gas, std::int32_t gateType = 0) {
        struct {
            GateParseRecord record;
            unsigned char tail[16];
        } host;
        std::memset(&host, kSentinel, sizeof host);
        std::string text = gas != nullptr ? gas : "";
        host.record.gas = gas != nullptr ? text.data() : nullptr;
        host.record.gateType = gateType;
        Host().log.clear();

        VpiCallBlock block{&instance_, command, 1, 0, &host.record};
        ParseRun run;
        run.result = VpiMain(&block);
        run.record = host.record;
        run.tailUntouched = true;
        for (unsigned char b : host.tail) run.tailUntouched &= b == kSentinel;
        run.log = Host().log;
        if (gas != nullptr) {
            EXPECT_EQ(text, gas) << "the host's GAS was modified";
        }
        EXPECT_EQ(run.record.gas, gas != nullptr ? text.data() : nullptr);
        return run;
    }

    // The fields that are not the parse's to write are left as they were.
    static void ExpectHostFieldsKept(const ParseRun& run, std::int32_t gateType) {
        void* sentinelPointer;
        std::memset(&sentinelPointer, kSentinel, sizeof sentinelPointer);
        EXPECT_EQ(run.record.ownerWindow, sentinelPointer);
        EXPECT_EQ(run.record.gateType, gateType);
        EXPECT_EQ(run.record.unused, 0xA5A5A5A5u);
        EXPECT_TRUE(run.tailUntouched);
    }

    static void ExpectAccepted(const ParseRun& run, const Parsed& want) {
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.record.plcNumber, want.plcNumber);
        EXPECT_EQ(run.record.memArea, static_cast<unsigned char>(want.memArea));
        EXPECT_EQ(run.record.memAreaBits, want.sizeBits);
        EXPECT_EQ(run.record.areaPad[0], 0);
        EXPECT_EQ(run.record.areaPad[1], 0);
        EXPECT_EQ(run.record.elementIndex, want.elementIndex);
        EXPECT_EQ(run.record.bitNumber, want.bitNumber);
        EXPECT_EQ(run.record.sizeBits, want.sizeBits);
    }

    // A rejected parse marks "not a bit, 16 bits", may have stored the PLC
    // number, and never writes the element index or the area field.
    static void ExpectRejected(const ParseRun& run, std::int32_t plcNumber = kUntouched) {
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.record.bitNumber, 255u);
        EXPECT_EQ(run.record.sizeBits, 16);
        EXPECT_EQ(run.record.plcNumber, plcNumber);
        EXPECT_EQ(run.record.elementIndex, kUntouched);
        EXPECT_EQ(run.record.memArea, kSentinel);
        EXPECT_EQ(run.record.memAreaBits, kSentinel);
        EXPECT_EQ(run.record.areaPad[0], kSentinel);
        EXPECT_EQ(run.record.areaPad[1], kSentinel);
    }

    VpiInstance instance_;
};

inline void PrintTo(const LogLine& line, std::ostream* out) {
    *out << "[" << line.category << "] " << line.text;
}

inline LogLine Line(const std::string& text) { return {32, text}; }
inline LogLine Trace(const std::string& text) { return {0, text}; }

}  // namespace plclink::testing
