#include "s7200_peer.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace plclink::testing {
namespace {

std::uint8_t Sum(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::uint8_t sum = 0;
    for (std::size_t i = from; i < to; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return sum;
}

void PutWord(Bytes& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

std::size_t ItemSizeOf(std::uint8_t transport) {
    switch (transport) {
        case 0x04: return 2;
        case 0x06: return 4;
        default: return 1;
    }
}

char LetterOf(std::uint8_t areaCode) {
    switch (areaCode) {
        case 0x81: return 'I';
        case 0x82: return 'Q';
        case 0x83: return 'M';
        case 0x84: return 'V';
        default: return '?';
    }
}

}  // namespace

Bytes ResponseFrame(std::uint8_t station, const Bytes& params, const Bytes& data) {
    Bytes frame{0x68, 0, 0, 0x68, 0x00, station, 0x08, 0x32, 0x03, 0x00, 0x00, 0x00, 0x00};
    PutWord(frame, params.size());
    PutWord(frame, data.size());
    frame.push_back(0x00);  // error class
    frame.push_back(0x00);  // error code
    frame.insert(frame.end(), params.begin(), params.end());
    frame.insert(frame.end(), data.begin(), data.end());
    const auto le = static_cast<std::uint8_t>(frame.size() - 4);
    frame[1] = frame[2] = le;
    frame.push_back(Sum(frame, 4, frame.size()));
    frame.push_back(0x16);
    return frame;
}

S7200Peer::S7200Peer(ScriptedPlatform& platform, std::uint8_t station)
    : platform_(platform), station_(station) {
    for (char letter : {'I', 'Q', 'M', 'V'}) memory_[letter] = Bytes(1024, 0);
    platform_.onWrite = [this](ScriptedPlatform& p, const Bytes& frame) { onFrame(p, frame); };
}

S7200Peer::~S7200Peer() { platform_.onWrite = nullptr; }

void S7200Peer::next(std::initializer_list<Answer> answers) {
    script_.insert(script_.end(), answers.begin(), answers.end());
}

void S7200Peer::onFrame(ScriptedPlatform& platform, const Bytes& frame) {
    if (frame.size() == 6 && frame[0] == 0x10 && frame[1] == station_ && frame[3] == 0x5C) {
        ++polls;
        if (busyLeft_ > 0 && !pending_.empty()) {
            --busyLeft_;
            platform.deliver({0xE5}, answerDelayMs);
            return;
        }
        platform.deliver(pending_, answerDelayMs);
        pending_.clear();
        return;
    }
    if (frame.size() < 9 || frame[0] != 0x68 || frame[4] != station_) return;
    requests.push_back(frame);
    Answer answer = otherwise;
    if (!script_.empty()) {
        answer = script_.front();
        script_.pop_front();
    }
    pending_.clear();
    Bytes response = respond(frame);
    switch (answer) {
        case Answer::kSilent: return;
        case Answer::kToken: platform.deliver({0xDC, 0x00, station_}, answerDelayMs); return;
        case Answer::kGarbage: platform.deliver({0x00}, answerDelayMs); return;
        case Answer::kDirect: platform.deliver(response, answerDelayMs); return;
        case Answer::kRefuse: {
            // The data block of a refused access is its access_result alone.
            const std::size_t parLg = (response[13] << 8) | response[14];
            response = ResponseFrame(station_, Bytes(response.begin() + 19,
                                                     response.begin() + 19 + long(parLg)),
                                     {refusal});
            break;
        }
        case Answer::kCorruptFcs: ++response[response.size() - 2]; break;
        case Answer::kMismatch:
            // A read is answered as a write, a write with a double word.
            response = frame[17] == 0x04
                           ? ResponseFrame(station_, {0x05, 0x01}, {0xFF})
                           : ResponseFrame(station_, {0x04, 0x01},
                                           {0xFF, 0x04, 0x00, 0x20, 0xDE, 0xAD, 0xBE, 0xEF});
            break;
        case Answer::kLate: std::swap(response, previous_); break;
        case Answer::kNormal: break;
    }
    if (answer != Answer::kLate) previous_ = response;
    pending_ = response;
    busyLeft_ = busyPolls;
    platform.deliver({0xE5}, answerDelayMs);
}

Bytes S7200Peer::respond(const Bytes& request) {
    if (request[6] == 0x6C) {
        ++associations;
        return ResponseFrame(station_, {0xF0, 0x00, 0x00, 0x01, 0x00, 0x01, 0x03, 0xC0}, {});
    }
    return request[17] == 0x04 ? readResponse(request) : writeResponse(request);
}

std::uint8_t* S7200Peer::at(std::uint8_t areaCode, std::uint32_t byteAddress, std::size_t size) {
    auto it = memory_.find(LetterOf(areaCode));
    if (it == memory_.end() || byteAddress + size > it->second.size()) return nullptr;
    return it->second.data() + byteAddress;
}

Bytes S7200Peer::readResponse(const Bytes& request) {
    const std::size_t itemSize = ItemSizeOf(request[22]);
    const std::size_t count = (request[23] << 8) | request[24];
    const std::uint32_t bitAddress = (request[28] << 16) | (request[29] << 8) | request[30];
    const std::uint8_t* source = at(request[27], bitAddress / 8, itemSize * count);
    if (source == nullptr) return ResponseFrame(station_, {0x04, 0x01}, {0x0A});
    Bytes data{0xFF, 0x04};
    PutWord(data, itemSize * count * 8);
    data.insert(data.end(), source, source + itemSize * count);
    return ResponseFrame(station_, {0x04, 0x01}, data);
}

Bytes S7200Peer::writeResponse(const Bytes& request) {
    const std::size_t count = (request[23] << 8) | request[24];
    const std::uint32_t bitAddress = (request[28] << 16) | (request[29] << 8) | request[30];
    const std::uint8_t* values = request.data() + 35;
    if (request[22] == 0x01) {  // one bit
        std::uint8_t* target = at(request[27], bitAddress / 8, 1);
        if (target == nullptr) return ResponseFrame(station_, {0x05, 0x01}, {0x0A});
        const auto mask = static_cast<std::uint8_t>(1u << (bitAddress % 8));
        *target = values[0] ? (*target | mask) : (*target & ~mask);
        return ResponseFrame(station_, {0x05, 0x01}, {0xFF});
    }
    const std::size_t size = ItemSizeOf(request[22]) * count;
    std::uint8_t* target = at(request[27], bitAddress / 8, size);
    if (target == nullptr) return ResponseFrame(station_, {0x05, 0x01}, {0x0A});
    std::memcpy(target, values, size);
    return ResponseFrame(station_, {0x05, 0x01}, {0xFF});
}

DriverSide::DriverSide(ScriptedPlatform& platform, std::int32_t instanceNumber) {
    Platform().openPort("COM1", &line);
    platform.port(line)->eventMask = kEventTxEmpty;
    instance.lineHandle = line;
    instance.instanceNumber = instanceNumber;
    std::snprintf(instance.VpiName, sizeof instance.VpiName, "VpiK7%02d", instanceNumber);
    instance.requestFc = 0x7C;
    instance.valueSlot = reinterpret_cast<std::uint16_t*>(buffer + 2);
    instance.dataStart = buffer;
    record.plcNumber = 2;
    record.bitNumber = VPI_NO_BIT;
    record.dataBuffer = buffer;
    block.instance = &instance;
    block.command = VPI_READ_VALUE;
    block.vpiNumber = 1;
    block.params = &record;
    tag('V', 16, 0);
}

void DriverSide::tag(char area, std::uint8_t bits, std::int32_t index, std::uint32_t bit) {
    record.memArea = static_cast<std::uint8_t>(area);
    record.memAreaBits = bits;
    record.sizeBits = bits;
    record.elementIndex = index;
    record.bitNumber = bit;
}

}  // namespace plclink::testing
