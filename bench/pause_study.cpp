// Short pauses, busy stations and coalesced reads, measured through the
// module (plclink.so) against ppi-sim --line-speed in one run. The simulator
// serves station 2 with no scan time, station 3 with 10 ms and station 4 with
// 30 ms. Two instances are started one after the other: VPI 41 with no PAUSE
// line (the classic 40 ms pauses) and VPI 42 with "PAUSE 5".
//
// The floor of a transaction that goes through at once, with pause P:
//
//   floor = 2 x (P + 1 ms)  + wire bytes x 11 bits / baud
//
// (the pause before the request and before the poll, each with its 1 ms RTS
// lead). A station with scan time S has its answer ready S after the
// request arrived; the poll arrives SC + P + 1 ms + poll after it, so the
// scan floor adds max(0, S - that) to the floor.
//
// A monitor round of 50 word tags at V0, V6, .. V294 of station 2 is read
// one by one (command 5 each) or through the host tool's read plan (block
// reads of bytes, command 6); its floor is the sum of its transactions'
// floors. Every value read is checked against the simulator's memory.
#include "pause_study.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "block_values.h"
#include "read_plan.h"
#include "sim_process.h"

namespace plclink::bench {
namespace {

using host::Tag;

constexpr double kBitsPerByte = 11;
constexpr std::size_t kWordReadWire = 33 + 1 + 6 + 29;
constexpr std::size_t kBlockReadFixedWire = 33 + 1 + 6 + 27;
constexpr int kTagCount = 50;
constexpr int kTagSpacing = 6;

struct Station {
    std::uint8_t address;
    unsigned scanMs;
};
constexpr Station kStations[] = {{2, 0}, {3, 10}, {4, 30}};

// V memory of every station: byte a holds a pattern that makes each word
// tell where it lies.
std::uint8_t PatternAt(int address) { return static_cast<std::uint8_t>(address * 7 + 3); }

std::uint16_t ExpectedWord(int address) {
    return static_cast<std::uint16_t>(PatternAt(address) << 8 | PatternAt(address + 1));
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double LineMs(std::size_t bytes, unsigned baud) { return bytes * kBitsPerByte * 1000.0 / baud; }

double FloorMs(std::size_t wireBytes, unsigned pauseMs, unsigned baud) {
    return 2.0 * (pauseMs + 1) + LineMs(wireBytes, baud);
}

double ScanFloorMs(std::size_t wireBytes, unsigned pauseMs, unsigned scanMs, unsigned baud) {
    const double pollArrives = LineMs(1, baud) + pauseMs + 1 + LineMs(6, baud);
    return FloorMs(wireBytes, pauseMs, baud) + std::max(0.0, scanMs - pollArrives);
}

double NowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A started instance on the simulator's port.
class BenchInstance {
public:
    BenchInstance(const kit::LoadedModule& module, const std::string& port, int vpi, unsigned baud)
        : module_(module), memory_(module.instanceSize(), 0), vpi_(vpi) {
        ColdStartRequest start{};
        std::snprintf(start.portName, sizeof start.portName, "%s", port.c_str());
        start.lineSwitch = 1;
        start.readTimeout = 100;
        // The host record carries a 16-bit rate; faster emulated lines run
        // the pseudo-terminal at 9600, which only its bus idle time sees.
        start.settings = LineSettings{static_cast<std::uint16_t>(baud <= 65535 ? baud : 9600), 8, 0, 2};
        started_ = call(VPI_COLD_START, &start) == 0;
    }
    ~BenchInstance() { call(VPI_END_VPI, nullptr); }
    bool started() const { return started_; }

    std::int32_t call(std::uint32_t command, void* params) {
        VpiCallBlock block{memory_.data(), command, vpi_, 0, params};
        return module_(&block);
    }
    // Command 5 on the word at `address` of `station`.
    std::int32_t readWord(std::uint8_t station, int address, std::uint16_t* value) {
        std::uint8_t buffer[8]{};
        TagAccessRecord record = Record(station, 16, address / 2, 1, buffer);
        const std::int32_t result = call(VPI_READ_VALUE, &record);
        std::memcpy(value, buffer + 2, 2);
        return result;
    }
    // Command 6: `count` bytes from `address`.
    std::int32_t readBytes(std::uint8_t station, int address, int count, std::uint8_t* bytes) {
        TagAccessRecord record = Record(station, 8, address, count, bytes);
        return call(VPI_READ_BLOCK, &record);
    }

private:
    static TagAccessRecord Record(std::uint8_t station, std::uint8_t bits, int index, int count, void* buffer) {
        TagAccessRecord record{};
        record.plcNumber = station;
        record.memArea = 'V';
        record.memAreaBits = bits;
        record.elementIndex = index;
        record.bitNumber = 255;
        record.sizeBits = bits;
        record.itemCount = count;
        record.dataBuffer = buffer;
        return record;
    }

    const kit::LoadedModule& module_;
    std::vector<std::uint8_t> memory_;
    int vpi_;
    bool started_ = false;
};

struct SingleRow {
    unsigned baud, pauseMs, scanMs;
    double floorMs, scanFloorMs, medianMs;
    int failures, wrong;
};

struct RoundRow {
    unsigned baud, pauseMs;
    const char* how;
    std::size_t transactions;
    double floorMs, medianMs;
    int failures, wrong;
};

std::vector<Tag> RoundTags() {
    std::vector<Tag> tags;
    for (int i = 0; i < kTagCount; ++i) {
        Tag tag;
        tag.type = host::ElementType::Word;
        tag.plcNumber = 2;
        tag.memArea = 'V';
        tag.memAreaBits = 16;
        tag.sizeBits = 16;
        tag.elementIndex = i * kTagSpacing / 2;
        tags.push_back(tag);
    }
    return tags;
}

SingleRow MeasureSingle(BenchInstance& vpi, const Station& station, unsigned pauseMs, unsigned baud, int repeat) {
    SingleRow row{baud, pauseMs, station.scanMs, FloorMs(kWordReadWire, pauseMs, baud),
                  ScanFloorMs(kWordReadWire, pauseMs, station.scanMs, baud), 0, 0, 0};
    std::vector<double> walls;
    std::uint16_t value = 0;
    vpi.readWord(station.address, 100, &value);  // warm up
    for (int i = 0; i < repeat; ++i) {
        const double t0 = NowMs();
        const std::int32_t result = vpi.readWord(station.address, 100, &value);
        const double wall = NowMs() - t0;
        if (result != 0) {
            ++row.failures;
            continue;
        }
        if (value != ExpectedWord(100)) ++row.wrong;
        walls.push_back(wall);
    }
    row.medianMs = Median(walls);
    return row;
}

RoundRow MeasureRound(BenchInstance& vpi, const std::vector<host::ReadStep>& steps, const char* how,
                      unsigned pauseMs, unsigned baud, int rounds) {
    const std::vector<Tag> tags = RoundTags();
    RoundRow row{baud, pauseMs, how, steps.size(), 0, 0, 0, 0};
    for (const host::ReadStep& step : steps)
        row.floorMs += FloorMs(step.isBlock() ? kBlockReadFixedWire + step.byteCount : kWordReadWire, pauseMs, baud);
    std::vector<double> walls;
    for (int r = 0; r < rounds; ++r) {
        const double t0 = NowMs();
        bool failed = false;
        for (const host::ReadStep& step : steps) {
            if (!step.isBlock()) {
                std::uint16_t value = 0;
                const Tag& tag = tags[step.tags.front()];
                if (vpi.readWord(2, tag.byteAddress(), &value) != 0) {
                    failed = true;
                    continue;
                }
                if (value != ExpectedWord(tag.byteAddress())) ++row.wrong;
                continue;
            }
            std::uint8_t bytes[256]{};
            if (vpi.readBytes(2, step.firstByte, step.byteCount, bytes) != 0) {
                failed = true;
                continue;
            }
            for (std::size_t index : step.tags) {
                const Tag& tag = tags[index];
                if (host::ValueInBlock(tag, bytes, step.firstByte) != ExpectedWord(tag.byteAddress())) ++row.wrong;
            }
        }
        const double wall = NowMs() - t0;
        if (failed) {
            ++row.failures;
            continue;
        }
        walls.push_back(wall);
    }
    row.medianMs = Median(walls);
    return row;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

std::string MemoryFile() {
    std::string text = "# V0..V319 of every station\n";
    char line[128];
    for (int row = 0; row < 320; row += 16) {
        int n = std::snprintf(line, sizeof line, "* V %d:", row);
        for (int i = 0; i < 16; ++i) n += std::snprintf(line + n, sizeof line - n, " %02X", PatternAt(row + i));
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace

int RunPauseStudy(const kit::LoadedModule& module, const PauseStudyOptions& options) {
    char dirTemplate[] = "/tmp/plclink-pause-study-XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (dir == nullptr || chdir(dir) != 0) {
        std::fprintf(stderr, "plclink-line-bench: no working directory\n");
        return 2;
    }
    const std::string memory = std::string(dir) + "/memory.txt";
    if (!WriteFile("vpiK741.int", "\n") || !WriteFile("vpiK742.int", "\nPAUSE 5\n") ||
        !WriteFile(memory, MemoryFile())) {
        std::fprintf(stderr, "plclink-line-bench: cannot write into %s\n", dir);
        return 2;
    }
    std::vector<SingleRow> singles;
    std::vector<RoundRow> roundRows;
    const std::vector<Tag> tags = RoundTags();
    for (unsigned baud : options.bauds) {
        kit::SimProcess sim(options.simPath,
                            {"--line-speed", "--baud", std::to_string(baud), "--station", "2", "--station", "3",
                             "--station", "4", "--scan", "10@3", "--scan", "30@4", "--load", memory},
                            "");
        if (!sim.running()) {
            std::fprintf(stderr, "plclink-line-bench: %s did not start at %u baud\n", options.simPath.c_str(), baud);
            return 2;
        }
        for (const unsigned pauseMs : {40u, 5u}) {
            BenchInstance vpi(module, sim.portName(), pauseMs == 40 ? 41 : 42, baud);
            if (!vpi.started()) {
                std::fprintf(stderr, "plclink-line-bench: ColdStart on %s failed\n", sim.portName().c_str());
                return 2;
            }
            for (const Station& station : kStations)
                singles.push_back(MeasureSingle(vpi, station, pauseMs, baud, options.repeat));
            const auto coalesced = host::PlanReads(tags, host::CoalesceRuleFor(baud, pauseMs));
            if (pauseMs == 40)
                roundRows.push_back(MeasureRound(vpi, host::OneByOne(tags), "one by one", pauseMs, baud, options.rounds));
            roundRows.push_back(MeasureRound(vpi, coalesced, "coalesced", pauseMs, baud, options.rounds));
        }
    }
    if (chdir("/") != 0) std::fprintf(stderr, "plclink-line-bench: cannot leave %s\n", dir);
    unlink((std::string(dir) + "/vpiK741.int").c_str());
    unlink((std::string(dir) + "/vpiK742.int").c_str());
    unlink(memory.c_str());
    rmdir(dir);

    int wrong = 0;
    std::printf("Single word read (V100), %d reads per case after one warm-up; floor = 2 x (pause + 1 ms) + "
                "69 bytes x 11 bits / baud\n\n",
                options.repeat);
    std::printf("| baud | pause ms | scan ms | floor ms | scan floor ms | median ms | median / floor | "
                "median / scan floor | values/s | failed | wrong |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const SingleRow& r : singles) {
        std::printf("| %u | %u | %u | %.1f | %.1f | %.1f | %.3f | %.3f | %.1f | %d | %d |\n", r.baud, r.pauseMs,
                    r.scanMs, r.floorMs, r.scanFloorMs, r.medianMs, r.medianMs / r.floorMs,
                    r.medianMs / r.scanFloorMs, r.medianMs > 0 ? 1000.0 / r.medianMs : 0.0, r.failures, r.wrong);
        wrong += r.failures + r.wrong;
    }
    std::printf("\nMonitor round: %d word tags at V0, V6 .. V%d of station 2 (scan 0), %d rounds per case; "
                "floor = sum of the transactions' floors\n\n",
                kTagCount, (kTagCount - 1) * kTagSpacing, options.rounds);
    std::printf("| baud | pause ms | reads | transactions | floor ms | median round ms | median / floor | "
                "values/s | failed rounds | wrong values |\n");
    std::printf("|---:|---:|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const RoundRow& r : roundRows) {
        std::printf("| %u | %u | %s | %zu | %.1f | %.1f | %.3f | %.1f | %d | %d |\n", r.baud, r.pauseMs, r.how,
                    r.transactions, r.floorMs, r.medianMs, r.medianMs / r.floorMs,
                    r.medianMs > 0 ? kTagCount * 1000.0 / r.medianMs : 0.0, r.failures, r.wrong);
        wrong += r.failures + r.wrong;
    }
    return wrong ? 1 : 0;
}

}  // namespace plclink::bench
