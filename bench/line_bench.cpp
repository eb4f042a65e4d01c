// plclink-line-bench: reads and writes through the module (plclink.so,
// loaded as a host loads it) against ppi-sim with line-speed emulation, and
// each transaction's wall time against its floor on a real line:
//
//   floor = 40 ms + 1 ms + 40 ms + 1 ms               the fixed pauses: before the
//                                                    request and before the poll,
//                                                    each with its 1 ms RTS lead
//         + (request + SC + poll + response bytes) x 11 bits / baud
//
// (11 bits per byte: start, 8 data, parity, stop). Reports per case the
// median and worst ratio of wall time to floor, values per second, and the
// CPU time the calling thread used per transaction (it must wait in the
// kernel, not spin), with the voluntary context switches that show it
// blocking.
//
// With --pauses it runs the study of short pauses, busy stations and
// coalesced reads instead (pause_study.cpp).
#include <CLI/CLI.hpp>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "loaded_module.h"
#include "pause_study.h"
#include "sim_process.h"

namespace {

struct Case {
    const char* name;
    std::uint32_t command;
    std::uint8_t bits;
    std::int32_t count;
    std::uint32_t bitNumber;
};

constexpr Case kCases[] = {
    {"read byte", VPI_READ_VALUE, 8, 1, 255},
    {"read word", VPI_READ_VALUE, 16, 1, 255},
    {"read double word", VPI_READ_VALUE, 32, 1, 255},
    {"read bit", VPI_READ_VALUE, 8, 1, 4},
    {"write word", VPI_WRITE_VALUE, 16, 1, 255},
    {"write bit", VPI_WRITE_VALUE, 8, 1, 4},
    // The largest blocks an S7-200 (and ppi-sim) takes: PDU 240.
    {"read block 222 bytes", VPI_READ_BLOCK, 8, 222, 255},
    {"read block 111 words", VPI_READ_BLOCK, 16, 111, 255},
    {"read block 55 double words", VPI_READ_BLOCK, 32, 55, 255},
    {"write block 212 bytes", VPI_WRITE_BLOCK, 8, 212, 255},
    {"write block 106 words", VPI_WRITE_BLOCK, 16, 106, 255},
};

constexpr double kPausesMs = 40 + 1 + 40 + 1;
constexpr double kBitsPerByte = 11;

// Bytes on the wire of one transaction that goes through at once.
std::size_t WireBytes(const Case& c) {
    const bool read = c.command == VPI_READ_VALUE || c.command == VPI_READ_BLOCK;
    const std::size_t item = c.bitNumber != 255 && !read ? 1 : c.bits / 8u;
    const std::size_t values = item * static_cast<std::size_t>(c.count);
    constexpr std::size_t kSc = 1, kPoll = 6;
    if (read) return 33 + kSc + kPoll + (21 + 2 + 4 + values);  // read response: par 2, data 4 + values
    return (37 + values) + kSc + kPoll + (21 + 2 + 1);           // write response: par 2, data 1
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long VoluntarySwitches() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_nvcsw;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = plclink::kit::ExecutableDir();
    std::string modulePath = dir + "plclink.so", simPath = dir + "ppi-sim";
    int repeat = 20;
    unsigned baud = 9600;
    CLI::App app{"Line benchmark: the module against ppi-sim at line speed", "plclink-line-bench"};
    app.add_option("--repeat,-r", repeat, "Transactions per case (default 20)");
    app.add_option("--baud", baud, "Baud rate of the emulated line (default 9600)");
    app.add_option("--module", modulePath, "The module (default: plclink.so beside this program)");
    app.add_option("--sim", simPath, "The simulator (default: ppi-sim beside this program)");
    bool pauses = false;
    int rounds = 3;
    app.add_flag("--pauses", pauses,
                 "Study pause 40 against PAUSE 5, scan times 0/10/30 ms and coalesced monitor rounds "
                 "at 9600, 19200 and 187500 baud (or --baud)");
    app.add_option("--rounds", rounds, "Monitor rounds per case of --pauses (default 3)");
    CLI11_PARSE(app, argc, argv);

    plclink::kit::LoadedModule module(modulePath);
    if (!module.loaded()) {
        std::fprintf(stderr, "plclink-line-bench: %s\n", module.error().c_str());
        return 2;
    }
    if (pauses) {
        plclink::bench::PauseStudyOptions study;
        if (app.count("--baud")) study.bauds = {baud};
        if (app.count("--repeat")) study.repeat = repeat;
        study.rounds = rounds;
        study.simPath = simPath;
        return plclink::bench::RunPauseStudy(module, study);
    }
    plclink::kit::SimProcess sim(simPath,
                                 {"--line-speed", "--baud", std::to_string(baud), "--station", "2",
                                  "--v-size", "10240"},
                                 "");
    if (!sim.running()) {
        std::fprintf(stderr, "plclink-line-bench: %s did not start\n", simPath.c_str());
        return 2;
    }
    std::vector<std::uint8_t> instance(module.instanceSize(), 0);
    auto call = [&](std::uint32_t command, void* params) {
        VpiCallBlock block{instance.data(), command, 1, 0, params};
        return module(&block);
    };
    ColdStartRequest start{};
    std::snprintf(start.portName, sizeof start.portName, "%s", sim.portName().c_str());
    start.lineSwitch = 1;
    start.readTimeout = 100;
    start.settings = LineSettings{static_cast<std::uint16_t>(baud), 8, 0, 2};
    if (call(VPI_COLD_START, &start) != 0) {
        std::fprintf(stderr, "plclink-line-bench: ColdStart on %s failed\n", sim.portName().c_str());
        return 2;
    }

    std::printf("%u baud, %d transactions per case; floor = %.0f ms + wire bytes x %.0f bits / %u baud\n\n",
                baud, repeat, kPausesMs, kBitsPerByte, baud);
    std::printf("| case | wire bytes | floor ms | median ms | median / floor | worst / floor | values/s | CPU ms/txn | CPU %% of wall | vol. switches/txn |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    std::vector<double> allRatios;
    int failures = 0;
    for (const Case& c : kCases) {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.count) * 4 + 4, 0x3C);
        TagAccessRecord record{};
        record.plcNumber = 2;
        record.memArea = 'V';
        record.memAreaBits = c.bits;
        record.elementIndex = 0;
        record.bitNumber = c.bitNumber;
        record.sizeBits = c.bits;
        record.itemCount = c.count;
        record.dataBuffer = buffer.data();
        const std::size_t wire = WireBytes(c);
        const double floorMs = kPausesMs + wire * kBitsPerByte * 1000.0 / baud;
        std::vector<double> ratios, walls;
        double cpuMs = 0;
        long switches = 0;
        call(c.command, &record);  // warm up
        for (int i = 0; i < repeat; ++i) {
            const double cpu0 = ThreadCpuMs();
            const long sw0 = VoluntarySwitches();
            const auto t0 = std::chrono::steady_clock::now();
            const std::int32_t result = call(c.command, &record);
            const double wall =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            cpuMs += ThreadCpuMs() - cpu0;
            switches += VoluntarySwitches() - sw0;
            if (result != 0) {
                ++failures;
                continue;
            }
            walls.push_back(wall);
            ratios.push_back(wall / floorMs);
        }
        if (walls.empty()) {
            std::printf("| %s | every transaction failed |\n", c.name);
            continue;
        }
        allRatios.insert(allRatios.end(), ratios.begin(), ratios.end());
        const double median = Median(walls);
        std::printf("| %s | %zu | %.1f | %.1f | %.3f | %.3f | %.1f | %.3f | %.2f%% | %.1f |\n", c.name, wire,
                    floorMs, median, Median(ratios), *std::max_element(ratios.begin(), ratios.end()),
                    c.count * 1000.0 / median, cpuMs / repeat, 100.0 * cpuMs / repeat / median,
                    double(switches) / repeat);
    }
    call(VPI_END_VPI, nullptr);
    if (!allRatios.empty())
        std::printf("\nmedian ratio to the floor over all transactions: %.3f (%+.1f%%)\n", Median(allRatios),
                    (Median(allRatios) - 1) * 100);
    if (failures) std::printf("%d transactions failed\n", failures);
    return failures ? 1 : 0;
}
