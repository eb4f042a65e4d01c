#include "ppisim/bus.h"

namespace ppisim {

bool Bus::addStation(std::uint8_t address, const AreaSizes& sizes) {
    if (address < 1 || address > 126) return false;
    return stations_.try_emplace(address, address, sizes).second;
}

Station* Bus::station(std::uint8_t address) {
    auto it = stations_.find(address);
    return it == stations_.end() ? nullptr : &it->second;
}

void Bus::setScanTime(std::uint8_t address, std::uint32_t ms) { scanMs_[address] = ms; }

std::optional<Reply> Bus::onFrame(const Frame& frame, std::int64_t nowUs) {
    if (frame.kind == FrameKind::SD4 || !IsSrdRequest(frame.fc)) return std::nullopt;
    Station* target = station(frame.da);
    if (!target) return std::nullopt;
    if (frame.kind == FrameKind::SD2) return onRequest(*target, frame, nowUs);
    return onPoll(*target, nowUs);
}

Bytes Bus::garbage(std::size_t length) {
    Bytes bytes;
    while (bytes.size() < length) {
        const auto b = static_cast<std::uint8_t>(faults_.drawBits());
        // Noise that starts like a frame would be read as one.
        if (bytes.empty() && (b == kSC || b == kSD1 || b == kSD2 || b == kSD4)) continue;
        bytes.push_back(b);
    }
    return bytes;
}

Reply Bus::onRequest(Station& station, const Frame& frame, std::int64_t nowUs) {
    const std::uint8_t st = station.address();
    pending_.erase(st);
    const FaultDecision fault = faults_.decide(st, IsMemoryJob(frame.data));
    Reply reply;
    reply.delayMs = fault.delayMs;
    if (fault.kind == FaultKind::Silent) {
        reply.note = "fault silent";
        return reply;
    }
    if (fault.kind == FaultKind::Token) {
        reply.bytes = EncodeSD4(frame.sa, st);
        reply.note = "fault token";
        return reply;
    }
    if (fault.kind == FaultKind::Garbage) {
        reply.bytes = garbage(fault.arg.value_or(kDefaultGarbageLength));
        reply.note = "fault garbage";
        return reply;
    }
    std::optional<std::uint8_t> refusal;
    if (fault.kind == FaultKind::Refuse)
        refusal = static_cast<std::uint8_t>(fault.arg.value_or(kDefaultRefusal));
    Bytes response = EncodeSD2(frame.sa, st, kFcResponseData, station.execute(frame.data, refusal));
    reply.note = "station " + std::to_string(st) + ": " + station.lastJob();
    if (fault.kind == FaultKind::BadFcs) {
        response[response.size() - 2] ^= 0x5A;
        reply.note += "; fault badfcs";
    } else if (fault.kind == FaultKind::Truncate) {
        const std::size_t keep = fault.arg.value_or(response.size() / 2);
        if (keep < response.size()) response.resize(keep);
        reply.note += "; fault truncate";
    } else if (refusal) {
        reply.note += "; fault refuse";
    }
    const auto scan = scanMs_.find(st);
    const std::int64_t scanUs = scan == scanMs_.end() ? 0 : std::int64_t{scan->second} * 1000;
    pending_[st] = Pending{std::move(response), nowUs + scanUs};
    reply.bytes = {kSC};
    return reply;
}

Reply Bus::onPoll(Station& station, std::int64_t nowUs) {
    Reply reply;
    auto it = pending_.find(station.address());
    if (it == pending_.end()) {
        // Nothing to hand out: a short acknowledgement says so.
        reply.bytes = {kSC};
        reply.note = "poll, nothing pending";
        return reply;
    }
    if (nowUs < it->second.readyAtUs) {
        // The scan has not reached the communication step yet.
        reply.bytes = {kSC};
        reply.note = "poll, response not ready (scan)";
        return reply;
    }
    reply.bytes = std::move(it->second.response);
    reply.note = "poll, response";
    pending_.erase(it);
    return reply;
}

}  // namespace ppisim
