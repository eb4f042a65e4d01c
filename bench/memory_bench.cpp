// CPU cost of the driver's in-memory paths: the two address parses, building
// the read and write requests, checking a response and decoding a read
// response; and whole read and write transactions on the scripted platform
// (virtual clock, scripted controller), with the heap allocations of the
// driver's own code per transaction as a counter.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "alloc_count.h"
#include "core/vpi_instance.h"
#include "live_instance.h"
#include "scripted_platform.h"
#include "plclink/vpi.h"
#include "ppi/s7200_messages.h"
#include "s7_peer.h"

namespace {

using plclink::VpiInstance;

// --- Parses -----------------------------------------------------------------

void Parse(benchmark::State& state, std::uint32_t command, const char* gas, std::int32_t gateType) {
    VpiInstance instance{};
    std::strcpy(instance.VpiName, "VpiK701");
    std::vector<char> text(gas, gas + std::strlen(gas) + 1);
    GateParseRecord record{};
    record.gas = text.data();
    record.gateType = gateType;
    VpiCallBlock call{&instance, command, 1, 0, &record};
    std::int32_t result = 0;
    for (auto _ : state) {
        result = VpiMain(&call);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(record);
    }
    state.SetLabel(result == 0 ? "accepted" : "rejected");
}

BENCHMARK_CAPTURE(Parse, single_word, VPI_SINGLE_PARSE, "05VW0100", 1);
BENCHMARK_CAPTURE(Parse, single_bit, VPI_SINGLE_PARSE, "01IB00037", 6);
BENCHMARK_CAPTURE(Parse, single_misaligned, VPI_SINGLE_PARSE, "01MW0013", 1);
BENCHMARK_CAPTURE(Parse, single_bad_chars, VPI_SINGLE_PARSE, "01xB0012", 0);
BENCHMARK_CAPTURE(Parse, block_double_word, VPI_BLOCK_PARSE, "01VD0100", 0);

// --- Messages ---------------------------------------------------------------

// A started-looking instance and a record of `count` elements of `bits` at
// byte address 100 of V memory, station 2.
struct MessageSetup {
    VpiInstance instance{};
    TagAccessRecord record{};
    std::vector<std::uint8_t> buffer;
    VpiCallBlock call{};

    MessageSetup(std::uint8_t bits, std::int32_t count, bool block) : buffer(256 + 4) {
        std::strcpy(instance.VpiName, "VpiK701");
        instance.instanceNumber = 1;
        instance.requestFc = 0x7C;
        instance.blockMode = block ? 1 : 0;
        instance.valueSlot = reinterpret_cast<std::uint16_t*>(buffer.data() + 2);
        instance.dataStart = buffer.data();
        for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(i);
        record.plcNumber = 2;
        record.memArea = 'V';
        record.memAreaBits = bits;
        record.elementIndex = 100;  // byte address, as during a transaction
        record.bitNumber = 255;
        record.sizeBits = bits;
        record.itemCount = count;
        record.dataBuffer = buffer.data();
        call = VpiCallBlock{&instance, VPI_READ_BLOCK, 1, 0, &record};
    }

    // Puts the controller's response to the read request in rxFrame.
    void readResponse(std::int32_t count) {
        const std::size_t bytes = static_cast<std::size_t>(count) * (record.memAreaBits / 8);
        std::vector<std::uint8_t> f{0x68, 0, 0, 0x68, 0x00, 2, 0x08, 0x32, 0x03, 0, 0, 0, 0,
                                    0x00, 0x02, 0, 0, 0, 0, 0x04, 0x01, 0xFF, 0x04};
        f[15] = static_cast<std::uint8_t>((bytes + 4) >> 8);
        f[16] = static_cast<std::uint8_t>(bytes + 4);
        f.push_back(static_cast<std::uint8_t>((bytes * 8) >> 8));
        f.push_back(static_cast<std::uint8_t>(bytes * 8));
        for (std::size_t i = 0; i < bytes; ++i) f.push_back(static_cast<std::uint8_t>(i * 3));
        f[1] = f[2] = static_cast<std::uint8_t>(f.size() - 4);
        f.push_back(plclink::kit::Fcs(f.data() + 4, f.size() - 4));
        f.push_back(0x16);
        std::memcpy(instance.rxFrame, f.data(), f.size());
        instance.rxLength = static_cast<std::uint32_t>(f.size());
    }
};

void BuildReadRequest(benchmark::State& state) {
    MessageSetup s(16, static_cast<std::int32_t>(state.range(0)), state.range(0) > 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(plclink::SetS7200RdReq(&s.call, s.record.itemCount));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BuildReadRequest)->Arg(1)->Arg(117);

void BuildWriteRequest(benchmark::State& state) {
    MessageSetup s(16, static_cast<std::int32_t>(state.range(0)), state.range(0) > 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(plclink::SetS7200WrReq(&s.call, s.record.itemCount));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BuildWriteRequest)->Arg(1)->Arg(112);

void CheckReadResponse(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    MessageSetup s(16, count, count > 1);
    plclink::SetS7200RdReq(&s.call, count);
    s.readResponse(count);
    int result = 0;
    for (auto _ : state) {
        result = plclink::CheckResponse(&s.call);
        benchmark::DoNotOptimize(result);
    }
    if (result != 0) state.SkipWithError("the response did not pass");
}
BENCHMARK(CheckReadResponse)->Arg(1)->Arg(117);

void DecodeReadResponse(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    MessageSetup s(16, count, count > 1);
    plclink::SetS7200RdReq(&s.call, count);
    s.readResponse(count);
    int result = 0;
    for (auto _ : state) {
        result = plclink::GetS7200RdRsp(&s.call, count);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
    if (result != 0) state.SkipWithError("the response was not decoded");
}
BENCHMARK(DecodeReadResponse)->Arg(1)->Arg(117);

// --- Transactions on the scripted platform ----------------------------------

// A whole command through VpiMain against the scripted controller: frames,
// pauses (virtual), checks and decoding. The time includes the scripted
// platform's and the controller's own work; the allocation counter counts
// only the driver's.
void Transaction(benchmark::State& state, std::uint32_t command, std::uint8_t bits,
                 std::int32_t count, std::uint32_t bitNumber) {
    plclink::ScriptedPlatform line;
    plclink::kit::S7Peer plc(line, 2);
    plclink::kit::LiveInstance vpi(5);
    plclink::bench::UncountedPlatform uncounted;
    if (vpi.started() != 0) {
        state.SkipWithError("ColdStart failed");
        return;
    }
    std::vector<std::uint8_t> buffer(count * 4 + 4, 0x5A);
    TagAccessRecord record{};
    record.plcNumber = 2;
    record.memArea = 'V';
    record.memAreaBits = bits;
    record.elementIndex = 0;
    record.bitNumber = bitNumber;
    record.sizeBits = bits;
    record.itemCount = count;
    record.dataBuffer = buffer.data();
    std::size_t allocations = 0;
    std::int32_t result = 0;
    for (auto _ : state) {
        line.clearCalls();
        plclink::bench::StartCounting();
        result = vpi.call(command, &record);
        allocations += plclink::bench::StopCounting();
        if (result != 0) break;
    }
    if (result != 0) state.SkipWithError("the transaction failed");
    state.counters["allocs/txn"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

BENCHMARK_CAPTURE(Transaction, read_word, VPI_READ_VALUE, 16, 1, 255);
BENCHMARK_CAPTURE(Transaction, read_bit, VPI_READ_VALUE, 8, 1, 3);
BENCHMARK_CAPTURE(Transaction, read_block_117_words, VPI_READ_BLOCK, 16, 117, 255);
BENCHMARK_CAPTURE(Transaction, write_word, VPI_WRITE_VALUE, 16, 1, 255);
BENCHMARK_CAPTURE(Transaction, write_block_112_words, VPI_WRITE_BLOCK, 16, 112, 255);

}  // namespace

BENCHMARK_MAIN();
