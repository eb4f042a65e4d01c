// Counts the heap allocations of the driver's own code per read and write
// transaction on the scripted platform (scripted controller, virtual clock),
// for single values, bits, double words and the largest blocks, and for
// transactions that fail (silent, refusing controller). Prints one line per
// case and exits with 1 when any transaction allocated.
#include <cstdio>
#include <cstring>
#include <vector>

#include "alloc_count.h"
#include "live_instance.h"
#include "scripted_platform.h"
#include "plclink/vpi.h"
#include "s7_peer.h"

namespace {

struct Case {
    const char* name;
    std::uint32_t command;
    std::uint8_t bits;
    std::int32_t count;
    std::uint32_t bitNumber;
    enum { kAnswers, kSilent, kRefuses } controller;
    std::int32_t expected;
};

constexpr Case kCases[] = {
    {"read byte", VPI_READ_VALUE, 8, 1, 255, Case::kAnswers, 0},
    {"read word", VPI_READ_VALUE, 16, 1, 255, Case::kAnswers, 0},
    {"read double word", VPI_READ_VALUE, 32, 1, 255, Case::kAnswers, 0},
    {"read bit", VPI_READ_VALUE, 8, 1, 5, Case::kAnswers, 0},
    {"read block 234 bytes", VPI_READ_BLOCK, 8, 234, 255, Case::kAnswers, 0},
    {"read block 117 words", VPI_READ_BLOCK, 16, 117, 255, Case::kAnswers, 0},
    {"write word", VPI_WRITE_VALUE, 16, 1, 255, Case::kAnswers, 0},
    {"write bit", VPI_WRITE_VALUE, 8, 1, 2, Case::kAnswers, 0},
    {"write block 224 bytes", VPI_WRITE_BLOCK, 8, 224, 255, Case::kAnswers, 0},
    {"write block 56 double words", VPI_WRITE_BLOCK, 32, 56, 255, Case::kAnswers, 0},
    {"read word, silent station", VPI_READ_VALUE, 16, 1, 255, Case::kSilent, 2},
    {"write word, access refused", VPI_WRITE_VALUE, 16, 1, 255, Case::kRefuses, 1},
};

constexpr int kWarmUp = 3;
constexpr int kCounted = 50;

}  // namespace

int main() {
    // The counter itself must see an allocation.
    plclink::bench::StartCounting();
    delete new volatile int(1);
    if (plclink::bench::StopCounting() != 1) {
        std::printf("the allocation counter does not count\n");
        return 1;
    }
    int failures = 0;
    std::printf("%-32s %12s %8s\n", "transaction", "allocations", "result");
    for (const Case& c : kCases) {
        plclink::ScriptedPlatform line;
        plclink::kit::S7Peer plc(line, 2);
        plc.silent = c.controller == Case::kSilent;
        plc.accessResult = c.controller == Case::kRefuses ? 0x0A : 0xFF;
        plclink::kit::LiveInstance vpi(5);
        plclink::bench::UncountedPlatform uncounted;
        if (vpi.started() != 0) {
            std::printf("%-32s ColdStart failed\n", c.name);
            return 1;
        }
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.count) * 4 + 4, 0x5A);
        TagAccessRecord record{};
        record.plcNumber = 2;
        record.memArea = 'V';
        record.memAreaBits = c.bits;
        record.bitNumber = c.bitNumber;
        record.sizeBits = c.bits;
        record.itemCount = c.count;
        record.dataBuffer = buffer.data();
        std::int32_t result = 0;
        for (int i = 0; i < kWarmUp; ++i) result = vpi.call(c.command, &record);
        std::size_t allocations = 0;
        for (int i = 0; i < kCounted && result == c.expected; ++i) {
            line.clearCalls();
            plclink::bench::StartCounting();
            result = vpi.call(c.command, &record);
            allocations += plclink::bench::StopCounting();
        }
        const double perTransaction = static_cast<double>(allocations) / kCounted;
        std::printf("%-32s %12.2f %8d\n", c.name, perTransaction, result);
        if (allocations != 0 || result != c.expected) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
