#include <gtest/gtest.h>

#include <sstream>

#include "hex.h"
#include "ppisim/memory_file.h"
#include "ppisim/station.h"

namespace ppisim {
namespace {

using testing::Hex;
using testing::ToHex;

// The S7 message of a read or write job of one item: transport size and
// area `code`, `count` elements from number `number`.
Bytes Job(std::uint8_t function, std::uint8_t code, unsigned count, unsigned number,
          std::uint8_t transport = 0) {
    Bytes job = Hex("32 01 00 00 00 07 00 0E 00 00");
    if (function == kFunctionWrite) job[9] = 6;  // dat_lg: data item head and one word
    const Bytes params{function, 0x01, 0x12, 0x0A, 0x10, transport != 0 ? transport : code,
                       0x00, static_cast<std::uint8_t>(count), 0x00, 0x00, code,
                       static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 8),
                       static_cast<std::uint8_t>(number)};
    job.insert(job.end(), params.begin(), params.end());
    if (function == kFunctionWrite) {
        const Bytes data = Hex("00 04 00 10 00 01");
        job.insert(job.end(), data.begin(), data.end());
    }
    return job;
}

TEST(TimersAndCounters, ReadsAnswerRecordsWithTheValueLastAndRefuseWhatACpuRefuses) {
    Bus bus;
    bus.addStation(2, AreaSizes{});
    std::istringstream file("2 T 37: 1234 -1\n2 C 255: -5\n");
    std::string error;
    ASSERT_TRUE(LoadMemoryFile(file, bus, &error)) << error;
    Station& station = *bus.station(2);

    // Five bytes per timer, three per counter, as an octet string.
    EXPECT_EQ(ToHex(station.execute(Job(kFunctionRead, kAreaCodeT, 2, 37))),
              "32 03 00 00 00 07 00 02 00 0E 00 00 04 01 FF 09 00 0A 00 00 00 04 D2 00 00 00 FF FF");
    EXPECT_EQ(ToHex(station.execute(Job(kFunctionRead, kAreaCodeC, 1, 255))),
              "32 03 00 00 00 07 00 02 00 07 00 00 04 01 FF 09 00 03 00 FF FB");
    EXPECT_EQ(station.lastJob(), "read C255 ts1E x1");
    // Past C255, a transport size other than the area code, and every write.
    const auto accessResultOf = [&](const Bytes& job) { return station.execute(job)[14]; };
    EXPECT_EQ(accessResultOf(Job(kFunctionRead, kAreaCodeC, 2, 255)), kAccessObjectMissing);
    EXPECT_EQ(accessResultOf(Job(kFunctionRead, kAreaCodeT, 1, 256)), kAccessObjectMissing);
    EXPECT_EQ(accessResultOf(Job(kFunctionRead, kAreaCodeT, 1, 37, kTransportWord)), kAccessTypeUnsupported);
    EXPECT_EQ(accessResultOf(Job(kFunctionWrite, kAreaCodeT, 1, 37)), kAccessNotAllowed);
    EXPECT_EQ(station.memory().timerCounters().get(ElementKind::Timer, 37), 1234);

    // A dump names them by number, and loads back.
    std::ostringstream dump;
    DumpMemoryFile(dump, bus);
    EXPECT_EQ(dump.str(), "# STATION AREA ADDRESS: BYTES (hex); rows of zeros are left out\n"
                          "2 T 37: 1234\n2 T 38: -1\n2 C 255: -5\n");
    for (const char* bad : {"2 T 256: 1\n", "2 C 255: 1 2\n", "2 T 0: 32768\n", "2 C 0: 0x10\n"}) {
        std::istringstream in(bad);
        EXPECT_FALSE(LoadMemoryFile(in, bus, &error)) << bad;
    }
}

TEST(TimersAndCounters, ARunningTimerCountsTheTicksOfItsTimeBase) {
    EXPECT_EQ(TimeBaseMs(0), 1);
    EXPECT_EQ(TimeBaseMs(4), 10);
    EXPECT_EQ(TimeBaseMs(32), 1);
    EXPECT_EQ(TimeBaseMs(36), 10);
    EXPECT_EQ(TimeBaseMs(37), 100);
    EXPECT_EQ(TimeBaseMs(97), 10);
    EXPECT_EQ(TimeBaseMs(128), 100);
    const auto t37 = ParseTimerMotion("t37=ramp:20", nullptr);
    ASSERT_TRUE(t37);
    EXPECT_EQ(TimerValueAt(*t37, 12.35), 123);
    EXPECT_EQ(TimerValueAt(*t37, 21.0), 10);  // again from 0 every period
    const auto t32 = ParseTimerMotion("T32=ramp:60", nullptr);
    ASSERT_TRUE(t32);
    EXPECT_EQ(TimerValueAt(*t32, 50.0), 32767);  // a 1 ms timer stops at its highest value
    for (const char* bad : {"T256", "C3", "T37=sine", "T37=ramp:0", "T", "T3x"})
        EXPECT_FALSE(ParseTimerMotion(bad, nullptr)) << bad;
}

}  // namespace
}  // namespace ppisim
