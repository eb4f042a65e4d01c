// The CPU's own changes to its memory: the SM0.5 clock bit and moving analog
// inputs, and the --analog texts that choose them.
#include "ppisim/memory_motion.h"

#include <gtest/gtest.h>

namespace ppisim {
namespace {

TEST(MemoryMotion, ClockBitAndAnalogWordsFollowTheTime) {
    StationMemory memory{AreaSizes{}};
    memory.write(Area::SM, 0, Bytes{0x01});  // SM0.0, not the clock's
    const std::vector<AnalogMotion> motions = {
        *ParseAnalogMotion("AIW2=ramp:10", nullptr),
        *ParseAnalogMotion("aiw62=sine:4:-100:100", nullptr),
    };
    const struct {
        double seconds;
        bool clock;
        std::uint16_t ramp, sine;
    } times[] = {
        {0.0, false, 0, static_cast<std::uint16_t>(-100)},
        {0.7, true, 2240, static_cast<std::uint16_t>(-45)},  // -100 + 200 (1 - cos 63 deg) / 2
        {2.5, true, 8000, 71},
        {11.0, false, 3200, 0},  // the second period
    };
    for (const auto& t : times) {
        SCOPED_TRACE(t.seconds);
        ApplyCpuMotion(memory, motions, t.seconds);
        EXPECT_EQ(memory.bytes(Area::SM)[0], t.clock ? 0x21 : 0x01);
        const auto ai = memory.bytes(Area::AI);
        EXPECT_EQ(ai[2] << 8 | ai[3], t.ramp);
        EXPECT_EQ(ai[62] << 8 | ai[63], t.sine);
        EXPECT_EQ(ai[0] | ai[1], 0);  // channels not chosen stay still
    }
}

TEST(MemoryMotion, TextsThatNameNoMovingInputAreRefused) {
    std::string why;
    for (const char* text : {"AIW0", "AIW1=ramp", "AQW0=ramp", "AIB0=ramp", "AIW0=square",
                             "AIW0=ramp:0", "AIW0=ramp:5:10", "AIW0=sine:5:9:9", "AIW0=ramp:x",
                             "AIW=ramp"}) {
        EXPECT_FALSE(ParseAnalogMotion(text, &why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
}

}  // namespace
}  // namespace ppisim
