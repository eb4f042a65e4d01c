// The serial peer: arbitrary byte streams answer a read and then a write,
// through the real frame, message and transaction code on the scripted
// platform (virtual clock). Checked for every input:
// - each command returns 0, 1 or 2 and gives the host's record back as it was;
// - every frame the driver sends is well formed;
// - no command takes longer, on the virtual clock, than the retry rules and
//   the bound of each receive step allow, however the bytes trickle in;
// - a successful read stored exactly the values of the response frame, that
//   frame really carried them (no value taken from beyond its data), and it
//   answered the request that went out for this tag: a read response with
//   the count and size asked for; a successful write was answered by a write
//   response that granted it;
// - a failed single read leaves bytes 0..3 zero, a failed block read leaves
//   the buffer alone; a write never changes the buffer.
//
// Input: byte 0 = tag (bits 0-1: byte, word, double word, bit of a byte;
// bits 2-3: area I, Q, M, V; bits 5-7: bit number), byte 1 = bit 7 block,
// bits 0-6 element count, byte 2 = byte address; then the answers: for every
// frame the driver writes, records of [length][delay] + length bytes, the
// bytes arriving `delay & 0x7F` ms after the write; bit 7 of the delay byte
// chains one more record to the same write. When the input runs out the
// line is silent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "live_instance.h"
#include "scripted_platform.h"
#include "s7_peer.h"

using plclink::ScriptedPlatform;

namespace {

constexpr std::uint32_t kReadTimeoutTenMs = 5;
constexpr std::uint64_t kReadTimeoutMs = kReadTimeoutTenMs * 10;
constexpr std::uint8_t kStation = 2;

// Worst case of one command under the retry rules. One exchange: 40 ms pause,
// 1 ms RTS lead, 40 ms pause after the SC, 1 ms RTS lead for the poll, at most
// four read steps, each of one read time-out plus twice its bytes' line time
// at 9600 baud (the steps read at most 1 + 7 + 12 + 1005 bytes; 1 ms of
// rounding each), and before each of its two sends the discarding of stale
// input (reads of 50 ms while bytes come, for one read time-out at most, and
// the read that ends it). A transaction: three attempts, each with an
// association of three attempts of 3000 ms + one exchange.
constexpr std::uint64_t kBaud = 9600;
constexpr std::uint64_t kStepBytes = 1 + 7 + 12 + 1005;
constexpr std::uint64_t kLineMs = (2 * kStepBytes * 11 * 1000 + kBaud - 1) / kBaud + 4;
constexpr std::uint64_t kPurgeMs = kReadTimeoutMs + 2 * 50;
constexpr std::uint64_t kExchangeMs = 40 + 1 + 40 + 1 + 4 * kReadTimeoutMs + kLineMs + 2 * kPurgeMs;
constexpr std::uint64_t kWorstCommandMs = 3 * (kExchangeMs + 3 * (3000 + kExchangeMs));

struct Tag {
    char area;
    std::uint8_t bits;       // memAreaBits
    std::uint32_t bitNumber; // 255 = no bit
    bool block;
    std::int32_t count;
    std::int32_t byteAddress;
    std::size_t itemSize() const { return bits / 8u; }
};

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "FINDING: %s\n", what);
    std::abort();
}

// The answers of the peer, taken from the input as the driver writes.
class ScriptedAnswers {
public:
    ScriptedAnswers(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    void onWrite(ScriptedPlatform& line, const std::vector<std::uint8_t>& frame) {
        if (!plclink::kit::WellFormedFrame(frame.data(), frame.size()))
            Finding("the driver sent a malformed frame");
        if (frame[0] == 0x68 ? frame[4] != kStation : frame[1] != kStation)
            Finding("a frame went to the wrong station");
        bool more = true;
        while (more && size_ - at_ >= 2) {
            const std::size_t length = data_[at_];
            const std::uint8_t delay = data_[at_ + 1];
            at_ += 2;
            const std::size_t take = length < size_ - at_ ? length : size_ - at_;
            line.deliver(std::vector<std::uint8_t>(data_ + at_, data_ + at_ + take), delay & 0x7F);
            at_ += take;
            more = delay & 0x80;
        }
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::uint32_t BigEndian(const std::uint8_t* p, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}

// The last read or write request the driver sent: an SD2 frame with FC 0x7C.
std::vector<std::uint8_t> LastRequest(const ScriptedPlatform& line) {
    std::vector<std::uint8_t> request;
    for (const auto& call : line.calls)
        if (call.op == "writePort" && call.data.size() > 30 && call.data[0] == 0x68 && call.data[6] == 0x7C)
            request = call.data;
    return request;
}

std::uint8_t TransportOf(const Tag& tag, bool write) {
    if (write && tag.bitNumber != 255) return 0x01;
    return tag.bits == 32 ? 0x06 : tag.bits == 16 ? 0x04 : 0x02;
}

// The request went out for this tag, and the response answers it: same
// function, LE true to the frame, and for a read the data item holds
// exactly the values asked for; for a write one granted access_result.
void CheckAnswersRequest(const Tag& tag, bool write, const std::vector<std::uint8_t>& request,
                         const std::vector<std::uint8_t>& frame) {
    static const std::uint8_t kAreaCodes[] = {0x81, 0x82, 0x83, 0x84};
    if (request.empty()) Finding("success without a request");
    const std::size_t count = tag.block ? tag.count : 1;
    if (request[17] != (write ? 0x05 : 0x04)) Finding("the request has the wrong function");
    if (request[22] != TransportOf(tag, write) || BigEndian(&request[23], 2) != count)
        Finding("the request asked for another size or count");
    const char* areas = "IQMV";
    if (request[27] != kAreaCodes[std::strchr(areas, tag.area) - areas])
        Finding("the request went to another area");
    std::uint32_t bitAddress = std::uint32_t(tag.byteAddress) * 8;
    if (write && tag.bitNumber != 255) bitAddress += tag.bitNumber;
    if (BigEndian(&request[28], 3) != bitAddress) Finding("the request went to another address");

    if (frame.size() < 23 || frame[1] != frame.size() - 6) Finding("success with a frame whose LE is off");
    if (BigEndian(&frame[13], 2) != 2 || frame[19] != request[17])
        Finding("success with the response of another function");
    const std::size_t datLg = BigEndian(&frame[15], 2);
    if (write) {
        if (datLg != 1 || frame[21] != 0xFF) Finding("write reported done without a granted write response");
        return;
    }
    const std::size_t bytes = count * tag.itemSize();
    if (datLg != 4 + bytes || BigEndian(&frame[23], 2) != bytes * 8)
        Finding("read succeeded with a response of another size");
}

// The bytes the driver read after its last write: the response frame of
// the exchange that succeeded.
std::vector<std::uint8_t> LastResponse(const ScriptedPlatform& line) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < line.calls.size(); ++i)
        if (line.calls[i].op == "writePort") from = i + 1;
    std::vector<std::uint8_t> frame;
    for (std::size_t i = from; i < line.calls.size(); ++i)
        if (line.calls[i].op == "readPort")
            frame.insert(frame.end(), line.calls[i].data.begin(), line.calls[i].data.end());
    return frame;
}

void CheckReadStored(const Tag& tag, const std::vector<std::uint8_t>& frame,
                     const std::uint8_t* buffer) {
    if (frame.size() < 21) Finding("read succeeded without a response frame");
    const std::size_t parLg = BigEndian(&frame[13], 2);
    const std::size_t values = 19 + parLg + 4;
    const std::size_t size = tag.itemSize();
    const std::size_t count = tag.block ? tag.count : 1;
    if (values + count * size > frame.size() - 2)
        Finding("read succeeded with values the response frame did not carry");
    if (tag.block) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t want = BigEndian(&frame[values + i * size], size);
            std::uint32_t got = 0;
            if (size == 1) got = buffer[i];
            if (size == 2) { std::uint16_t w; std::memcpy(&w, buffer + 2 * i, 2); got = w; }
            if (size == 4) std::memcpy(&got, buffer + 4 * i, 4);
            if (got != want) Finding("block read stored a value the frame did not hold");
        }
        return;
    }
    if (size == 4) {
        std::uint32_t got;
        std::memcpy(&got, buffer, 4);
        if (got != BigEndian(&frame[values], 4)) Finding("single read stored a wrong double word");
        return;
    }
    std::uint16_t low, slot;
    std::memcpy(&low, buffer, 2);
    std::memcpy(&slot, buffer + 2, 2);
    std::uint32_t want = BigEndian(&frame[values], size);
    if (tag.bitNumber != 255) want = (want >> tag.bitNumber) & 1;
    if (low != 0 || slot != want) Finding("single read stored a wrong value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > 1024) return 0;
    Tag tag{};
    static const char kAreas[] = "IQMV";
    tag.area = kAreas[(data[0] >> 2) & 3];
    const unsigned kind = data[0] & 3;
    tag.bits = kind == 1 ? 16 : kind == 2 ? 32 : 8;
    tag.bitNumber = kind == 3 ? (data[0] >> 5) & 7u : 255;
    tag.block = data[1] & 0x80;
    tag.count = tag.block ? 1 + (data[1] & 0x7F) % (200 / tag.itemSize()) : 1;
    tag.byteAddress = data[2] & ~static_cast<int>(tag.itemSize() - 1);

    ScriptedPlatform line;
    ScriptedAnswers answers(data + 3, size - 3);
    line.onWrite = [&answers](ScriptedPlatform& l, const std::vector<std::uint8_t>& f) {
        answers.onWrite(l, f);
    };
    plclink::kit::LiveInstance vpi(kReadTimeoutTenMs);
    if (vpi.started() != 0) return 0;

    const std::size_t bufferSize = tag.block ? tag.count * tag.itemSize() : 4;
    auto* buffer = static_cast<std::uint8_t*>(std::malloc(bufferSize));
    TagAccessRecord record{};
    record.plcNumber = kStation;
    record.memArea = static_cast<std::uint8_t>(tag.area);
    record.memAreaBits = tag.bits;
    record.elementIndex = tag.byteAddress / static_cast<std::int32_t>(tag.itemSize());
    record.bitNumber = tag.bitNumber;
    record.sizeBits = tag.bits;
    record.itemCount = tag.count;
    record.dataBuffer = buffer;
    const TagAccessRecord before = record;

    auto run = [&](std::uint32_t command) {
        const std::uint64_t start = line.nowMs();
        const std::int32_t result = vpi.call(command, &record);
        if (result < 0 || result > 2) Finding("result outside 0..2");
        if (line.nowMs() - start > kWorstCommandMs)
            Finding("command took longer than the worst case");
        if (std::memcmp(&record, &before, sizeof record) != 0) Finding("record not given back as it was");
        return result;
    };

    // A read.
    std::memset(buffer, 0xCC, bufferSize);
    line.clearCalls();
    if (run(tag.block ? VPI_READ_BLOCK : VPI_READ_VALUE) == 0) {
        CheckAnswersRequest(tag, false, LastRequest(line), LastResponse(line));
        CheckReadStored(tag, LastResponse(line), buffer);
    } else if (tag.block) {
        for (std::size_t i = 0; i < bufferSize; ++i)
            if (buffer[i] != 0xCC) Finding("failed block read changed the buffer");
    } else {
        const std::uint8_t zero[4] = {};
        if (std::memcmp(buffer, zero, 4) != 0) Finding("failed single read left a value behind");
    }

    // A write.
    for (std::size_t i = 0; i < bufferSize; ++i) buffer[i] = static_cast<std::uint8_t>(i * 7 + 1);
    std::vector<std::uint8_t> written(buffer, buffer + bufferSize);
    line.clearCalls();
    if (run(tag.block ? VPI_WRITE_BLOCK : VPI_WRITE_VALUE) == 0)
        CheckAnswersRequest(tag, true, LastRequest(line), LastResponse(line));
    if (std::memcmp(buffer, written.data(), bufferSize) != 0) Finding("a write changed the buffer");

    std::free(buffer);
    return 0;
}
