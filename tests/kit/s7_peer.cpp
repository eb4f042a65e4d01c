#include "s7_peer.h"

#include <algorithm>

namespace plclink::kit {
namespace {

constexpr std::uint8_t kSc = 0xE5;

std::size_t ElementBytes(std::uint8_t transport) {
    switch (transport) {
        case 0x01: case 0x02: return 1;
        case 0x04: return 2;
        case 0x06: return 4;
        default: return 0;
    }
}

std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

void PutBe16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

}  // namespace

std::uint8_t Fcs(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
    return static_cast<std::uint8_t>(sum);
}

bool WellFormedFrame(const std::uint8_t* f, std::size_t n) {
    if (n == 6 && f[0] == 0x10) return f[4] == Fcs(f + 1, 3) && f[5] == 0x16;
    if (n < 9 || f[0] != 0x68 || f[3] != 0x68 || f[1] != f[2]) return false;
    if (std::size_t{f[1]} + 6 != n) return false;
    return f[n - 2] == Fcs(f + 4, f[1]) && f[n - 1] == 0x16;
}

S7Peer::S7Peer(ScriptedPlatform& line, std::uint8_t station) : line_(line), station_(station) {
    for (auto& m : memory_) m.assign(kAreaSize, 0);
    line_.onWrite = [this](ScriptedPlatform&, const std::vector<std::uint8_t>& bytes) {
        onFrame(bytes);
    };
}

S7Peer::~S7Peer() { line_.onWrite = nullptr; }

std::vector<std::uint8_t>& S7Peer::area(char letter) {
    switch (letter) {
        case 'I': return memory_[0];
        case 'Q': return memory_[1];
        case 'M': return memory_[2];
        default: return memory_[3];
    }
}

std::vector<std::uint8_t>* S7Peer::memoryOf(std::uint8_t areaCode) {
    if (areaCode < 0x81 || areaCode > 0x84) return nullptr;
    return &memory_[areaCode - 0x81];
}

void S7Peer::onFrame(const std::vector<std::uint8_t>& frame) {
    if (!WellFormedFrame(frame.data(), frame.size())) {
        ++malformed;
        return;
    }
    if (silent || frame[frame[0] == 0x10 ? 1 : 4] != station_) return;
    if (frame[0] == 0x10) {
        ++polls;
        if (!pending_.empty()) line_.deliver(pending_, answerDelayMs);
        pending_.clear();
        return;
    }
    answerRequest(frame.data(), frame.size());
}

std::vector<std::uint8_t> S7Peer::frameOf(const std::vector<std::uint8_t>& s7) {
    std::vector<std::uint8_t> f;
    f.reserve(s7.size() + 9);
    for (std::uint8_t b : {std::uint8_t{0x68}, std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0x68},
                           std::uint8_t{0x00}, station_, std::uint8_t{0x08}})
        f.push_back(b);
    for (std::uint8_t b : s7) f.push_back(b);
    const std::size_t le = f.size() - 4;
    f[1] = f[2] = static_cast<std::uint8_t>(le);
    f.push_back(Fcs(f.data() + 4, le));
    f.push_back(0x16);
    return f;
}

void S7Peer::answerRequest(const std::uint8_t* f, std::size_t n) {
    // S7 header at 7, parameters at 17.
    if (n < 21 || f[7] != 0x32) return;
    S7Request r;
    r.fc = f[6];
    r.function = f[17];
    std::vector<std::uint8_t> s7;
    if (r.function == 0xF0) {
        ++associations;
        s7 = {0x32, 0x03, 0, 0, 0xCC, 0xC1, 0, 8, 0, 0, 0, 0,
              0xF0, 0x00, 0x00, 0x01, 0x00, 0x01, 0x03, 0xC0};
    } else if ((r.function == 0x04 || r.function == 0x05) && n >= 33) {
        ++requests;
        const std::uint8_t* item = f + 19;
        r.transport = item[3];
        r.count = Be16(item + 4);
        r.block = Be16(item + 6);
        r.area = item[8];
        r.bitAddress = std::uint32_t{item[9]} << 16 | std::uint32_t{item[10]} << 8 | item[11];
        if (r.function == 0x05 && n >= 37) r.values.assign(f + 35, f + n - 2);
        last = r;
        s7 = r.function == 0x04 ? readResponse(r) : writeResponse(r);
    } else {
        return;
    }
    pending_ = frameOf(s7);
    line_.deliver({kSc}, answerDelayMs);
}

std::vector<std::uint8_t> S7Peer::readResponse(const S7Request& r) {
    std::vector<std::uint8_t> s7{0x32, 0x03, 0, 0, 0, 0};
    std::vector<std::uint8_t> data;
    auto* mem = memoryOf(r.area);
    const std::size_t bytes = ElementBytes(r.transport) * r.count;
    const std::size_t first = r.bitAddress / 8;
    std::uint8_t result = accessResult;
    if (result == 0xFF && (mem == nullptr || bytes == 0 || first + bytes > mem->size()))
        result = 0x05;  // address out of range
    if (result == 0xFF) {
        data = {0xFF, 0x04};
        PutBe16(data, bytes * 8);
        data.insert(data.end(), mem->begin() + first, mem->begin() + first + bytes);
    } else {
        data = {result, 0x00, 0x00, 0x00};
    }
    PutBe16(s7, 2);
    PutBe16(s7, data.size());
    s7.insert(s7.end(), {0x00, 0x00, 0x04, 0x01});
    s7.insert(s7.end(), data.begin(), data.end());
    return s7;
}

std::vector<std::uint8_t> S7Peer::writeResponse(const S7Request& r) {
    auto* mem = memoryOf(r.area);
    std::uint8_t result = accessResult;
    const std::size_t first = r.bitAddress / 8;
    if (result == 0xFF) {
        if (mem == nullptr || r.values.empty()) {
            result = 0x05;
        } else if (r.transport == 0x01) {
            if (first >= mem->size()) {
                result = 0x05;
            } else {
                const auto mask = static_cast<std::uint8_t>(1u << (r.bitAddress % 8));
                (*mem)[first] = r.values[0] ? ((*mem)[first] | mask) : ((*mem)[first] & ~mask);
            }
        } else {
            const std::size_t bytes = ElementBytes(r.transport) * r.count;
            if (bytes == 0 || bytes > r.values.size() || first + bytes > mem->size())
                result = 0x05;
            else
                std::copy_n(r.values.begin(), bytes, mem->begin() + first);
        }
    }
    std::vector<std::uint8_t> s7{0x32, 0x03, 0, 0, 0, 0, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00,
                                 0x05, 0x01, result};
    return s7;
}

}  // namespace plclink::kit
