// The token rotation time of simulated masters sharing one PPI bus with a
// CPU, on ppi-sim's bus model and a virtual clock: 2 and 3 masters, one job
// of 1 or 16 bytes per token visit, at 9.6, 19.2 and 187.5 kbaud, beside the
// S7-200 System Manual's table. docs/performance.md has the figures.
#include <cstdio>
#include <sstream>

#include "ppisim/token_bus.h"

namespace {

struct Row {
    unsigned baud;
    unsigned masters;
    std::uint16_t bytes;
    double manualS;  // 0: not in the table
};

constexpr Row kRows[] = {
    {9600, 2, 1, 0.30},   {9600, 3, 1, 0.44},  {9600, 2, 16, 0.33}, {9600, 3, 16, 0.50},
    {19200, 2, 1, 0.15},  {19200, 3, 1, 0.22}, {187500, 2, 1, 0.009}, {187500, 3, 1, 0.013},
};

}  // namespace

int main() {
    std::printf("%-8s %-8s %-6s %-12s %-12s %-10s %s\n", "baud", "masters", "bytes", "mean ms", "max ms",
                "manual ms", "jobs failed");
    for (const Row& row : kRows) {
        ppisim::Bus stations;
        stations.addStation(2, ppisim::AreaSizes{});
        ppisim::BusParams params;
        params.baud = row.baud;
        // The slot times recommended for these rates.
        params.slotBits = row.baud >= 187500 ? 400 : row.baud >= 19200 ? 170 : 100;
        ppisim::Trace quiet(nullptr);
        ppisim::TokenBus bus(stations, params, quiet);
        const std::uint8_t addresses[] = {1, 3, 4};
        for (unsigned i = 0; i < row.masters; ++i) {
            ppisim::MasterConfig config;
            config.address = addresses[i];
            config.station = 2;
            config.length = row.bytes;
            std::string why;
            if (!bus.addMaster(config, &why)) {
                std::fprintf(stderr, "%s\n", why.c_str());
                return 1;
            }
        }
        // Let the ring form, then measure over a minute of bus time.
        const std::int64_t until = 60'000'000;
        for (std::int64_t t = 0; (t = bus.nextEventUs()) <= until;) {
            bus.advance(t);
            bus.takeBytes(t);
        }
        const ppisim::MasterStats& s = bus.masters().front()->stats();
        std::uint64_t failed = 0;
        for (const auto& m : bus.masters()) failed += m->stats().jobsFailed;
        const double mean = s.rotations ? static_cast<double>(s.rotationSumUs) / s.rotations / 1000 : 0;
        std::printf("%-8u %-8u %-6u %-12.1f %-12.1f %-10.0f %llu\n", row.baud, row.masters, row.bytes, mean,
                    static_cast<double>(s.rotationMaxUs) / 1000, row.manualS * 1000,
                    static_cast<unsigned long long>(failed));
    }
    return 0;
}
