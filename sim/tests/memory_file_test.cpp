#include <gtest/gtest.h>

#include <sstream>

#include "hex.h"
#include "ppisim/memory_file.h"

namespace ppisim {
namespace {

using testing::Hex;

class MemoryFile : public ::testing::Test {
protected:
    MemoryFile() {
        bus.addStation(2, AreaSizes{});
        bus.addStation(5, AreaSizes{});
    }
    bool Load(const std::string& text) {
        std::istringstream in(text);
        return LoadMemoryFile(in, bus, &error);
    }
    Bus bus;
    std::string error;
};

TEST_F(MemoryFile, LoadsRunsForOneOrEveryStationAndDumpsThemBack) {
    ASSERT_TRUE(Load("# preset\n\n2 V 100: 12 34 ab CD  # two words\n* m 0: ff 1\n5 Q 15: 80\n")) << error;
    EXPECT_EQ(bus.station(2)->memory().bytes(Area::V)[101], 0x34);
    EXPECT_EQ(bus.station(2)->memory().bytes(Area::M)[1], 0x01);
    EXPECT_EQ(bus.station(5)->memory().bytes(Area::M)[0], 0xFF);
    EXPECT_EQ(bus.station(5)->memory().bytes(Area::Q)[15], 0x80);

    std::ostringstream dump;
    DumpMemoryFile(dump, bus);
    EXPECT_EQ(dump.str(),
              "# STATION AREA ADDRESS: BYTES (hex); rows of zeros are left out\n"
              "2 M 0: FF 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
              "2 V 96: 00 00 00 00 12 34 AB CD 00 00 00 00 00 00 00 00\n"
              "5 Q 0: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80\n"
              "5 M 0: FF 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n");

    Bus copy;
    copy.addStation(2, AreaSizes{});
    copy.addStation(5, AreaSizes{});
    std::istringstream in(dump.str());
    ASSERT_TRUE(LoadMemoryFile(in, copy, &error)) << error;
    for (std::uint8_t st : {2, 5})
        for (Area area : {Area::I, Area::Q, Area::M, Area::V}) {
            const auto a = bus.station(st)->memory().bytes(area);
            const auto b = copy.station(st)->memory().bytes(area);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
        }
}

TEST_F(MemoryFile, NamesTheFirstBadLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"2 V 0: 1\n2 V 0 1 2\n", "line 2: expected STATION AREA ADDRESS: BYTES"},
        {"2 X 0: 1\n", "line 1: area must be I, Q, M, V, S, SM, AI, AQ, T or C"},
        {"2 V 1x: 1\n", "line 1: bad address '1x'"},
        {"2 V 0: 123\n", "line 1: bad byte '123'"},
        {"2 V 0: G1\n", "line 1: bad byte 'G1'"},
        {"9 V 0: 1\n", "line 1: station 9 is not simulated"},
        {"2 M 31: 1 2\n", "line 1: bytes leave the M memory of station 2"},
        {"2 V 0 extra: 1\n", "line 1: expected STATION AREA ADDRESS: BYTES"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_FALSE(Load(text)) << text;
        EXPECT_EQ(error, message);
    }
}

}  // namespace
}  // namespace ppisim
