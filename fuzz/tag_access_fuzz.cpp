// Hostile TagAccessRecords through the read and write commands (5, 6, 7,
// 10): any PLC number, area, element size, index, bit number, tag kind and
// element count, against a well-behaved controller (or a silent or refusing
// one). The host's buffer is exactly as large as the record claims, so an
// access beyond it is an AddressSanitizer report. Checked besides:
// - the result is 0, 1 or 2, and the record comes back as it was;
// - every frame on the line is well formed;
// - a request that succeeded addressed the element the record names and
//   moved the values between the buffer and the controller's memory intact;
// - a write changes no byte of the buffer, for a text tag (kind 7) neither.
//
// Input: [command][line behaviour][plcNumber 4][memArea][memAreaBits]
// [elementIndex 4][bitNumber 4][sizeBits 4][tagKind 4][itemCount 4]
// [flags]; every multi-byte field little-endian. Flags bit 0: the fields
// are taken as they are; otherwise they are folded onto the interesting
// values, so the fuzzer spends most of its time on plausible records.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "live_instance.h"
#include "scripted_platform.h"
#include "s7_peer.h"

using plclink::ScriptedPlatform;
using plclink::kit::S7Peer;

namespace {

// Reads the input from its front; missing bytes read as 0.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    template <typename T>
    T take() {
        std::uint8_t bytes[sizeof(T)] = {};
        for (std::size_t i = 0; i < sizeof(T) && at_ < size_; ++i) bytes[i] = data_[at_++];
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "FINDING: %s\n", what);
    std::abort();
}

constexpr std::uint32_t kCommands[] = {VPI_READ_VALUE, VPI_READ_BLOCK, VPI_WRITE_VALUE,
                                       VPI_WRITE_BLOCK};

// Bytes of one element as the message layer counts them: 1, 2 or 4 by the
// element size, 1 for a bit written; 0 for a size no request can carry.
std::size_t ItemSize(const TagAccessRecord& r, bool write) {
    if (write && r.bitNumber != 255) return 1;
    if (r.memAreaBits == 1 && !write) return 1;
    if (r.memAreaBits == 8 || r.memAreaBits == 16 || r.memAreaBits == 32) return r.memAreaBits / 8u;
    return 0;
}

std::int64_t ByteAddressOf(const TagAccessRecord& r) {
    const std::int64_t index = r.elementIndex;
    if (r.sizeBits == 16) return index * 2;
    if (r.sizeBits == 32) return index * 4;
    return index;
}

std::uint32_t BigEndian(const std::uint8_t* p, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

TagAccessRecord RecordFrom(Input& in) {
    TagAccessRecord r{};
    r.hostWord1 = 0x11111111;
    r.hostWord2 = 0x22222222;
    r.hostWord3 = 0x33333333;
    r.plcNumber = in.take<std::int32_t>();
    r.memArea = in.take<std::uint8_t>();
    r.memAreaBits = in.take<std::uint8_t>();
    r.elementIndex = in.take<std::int32_t>();
    r.bitNumber = in.take<std::uint32_t>();
    r.sizeBits = in.take<std::int32_t>();
    r.tagKind = in.take<std::int32_t>();
    r.itemCount = in.take<std::int32_t>();
    const std::uint8_t flags = in.take<std::uint8_t>();
    if (flags & 1) return r;
    static const char kAreas[] = "IQMVimvD";
    static const std::uint8_t kBits[] = {8, 16, 32, 1, 0, 24, 64, 255};
    r.plcNumber = 2;
    r.memArea = static_cast<std::uint8_t>(kAreas[r.memArea % 8]);
    r.memAreaBits = kBits[r.memAreaBits % 8];
    r.sizeBits = (flags & 2) ? r.sizeBits : r.memAreaBits;
    r.elementIndex = (flags & 4) ? r.elementIndex : r.elementIndex % 5000;
    r.bitNumber = (flags & 8) ? r.bitNumber : (r.bitNumber % 2 ? 255 : r.bitNumber % 9);
    r.tagKind = (flags & 16) ? r.tagKind : (r.tagKind % 2 ? 7 : 0);
    r.itemCount = (flags & 32) ? r.itemCount : r.itemCount % 300;
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint32_t command = kCommands[in.take<std::uint8_t>() % 4];
    const std::uint8_t behaviour = in.take<std::uint8_t>();
    TagAccessRecord record = RecordFrom(in);
    const bool write = command == VPI_WRITE_VALUE || command == VPI_WRITE_BLOCK;
    const bool block = command == VPI_READ_BLOCK || command == VPI_WRITE_BLOCK;

    // The buffer the record claims: 4 bytes for a single value, itemCount
    // elements for a block (none for a count of 0 or less, at most 64 KiB).
    std::size_t claimed = 4;
    if (block) {
        const std::size_t item = ItemSize(record, write) ? ItemSize(record, write) : 4;
        claimed = record.itemCount > 0 ? std::size_t(record.itemCount) * item : 0;
        if (claimed > 65536) claimed = 65536;
    }
    auto* buffer = static_cast<std::uint8_t*>(std::malloc(claimed ? claimed : 1));
    for (std::size_t i = 0; i < claimed; ++i) buffer[i] = static_cast<std::uint8_t>(i * 13 + 5);
    const std::vector<std::uint8_t> original(buffer, buffer + claimed);
    record.dataBuffer = claimed ? buffer : (behaviour & 0x80 ? nullptr : buffer);
    const TagAccessRecord before = record;

    ScriptedPlatform line;
    S7Peer plc(line, static_cast<std::uint8_t>(record.plcNumber));
    plc.silent = (behaviour & 3) == 1;
    plc.accessResult = (behaviour & 3) == 2 ? 0x0A : 0xFF;
    for (char a : {'I', 'Q', 'M', 'V'})
        for (std::size_t i = 0; i < S7Peer::kAreaSize; ++i)
            plc.area(a)[i] = static_cast<std::uint8_t>(i * 31 + a);

    plclink::kit::LiveInstance vpi(5);
    if (vpi.started() != 0) {
        std::free(buffer);
        return 0;
    }
    const std::int32_t result = vpi.call(command, &record);

    if (result < 0 || result > 2) Finding("result outside 0..2");
    if (std::memcmp(&record, &before, sizeof record) != 0) Finding("record not given back as it was");
    if (plc.malformed != 0) Finding("the driver sent a malformed frame");

    const std::size_t item = ItemSize(record, write);
    const std::size_t count = block ? static_cast<std::size_t>(record.itemCount) : 1;
    if (result == 0) {
        // It can only have succeeded with a request the controller decoded.
        const std::int64_t byteAddress = ByteAddressOf(record);
        const std::int64_t bitAddress =
            byteAddress * 8 + (write && record.bitNumber != 255 ? record.bitNumber : 0);
        if (plc.requests == 0) Finding("success without a request");
        if (plc.last.bitAddress != bitAddress || plc.last.count != count)
            Finding("the request addressed other elements than the record names");
        if (!write) {
            const auto& memory = plc.area(static_cast<char>(record.memArea));
            const std::size_t first = static_cast<std::size_t>(byteAddress);
            for (std::size_t i = 0; block && i < count; ++i) {
                const std::uint32_t want = BigEndian(&memory[first + i * item], item);
                std::uint32_t got = 0;
                std::memcpy(&got, buffer + i * item, item);
                if (got != want) Finding("block read stored a value the controller does not hold");
            }
        }
    }
    if (write) {
        if (claimed && std::memcmp(buffer, original.data(), claimed) != 0)
            Finding("a write changed the buffer");
    }
    std::free(buffer);
    return 0;
}
