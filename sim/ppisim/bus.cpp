#include "ppisim/bus.h"

#include <cstdio>

#include "ppisim/fdl.h"
#include "ppisim/wrong_answer.h"

namespace ppisim {
namespace {

// The PDU reference of an S7 message, as the trace shows it.
std::string ReferenceText(std::span<const std::uint8_t> message) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(ReferenceOf(message)));
    return text;
}

}  // namespace

bool Bus::addStation(std::uint8_t address, const AreaSizes& sizes, std::uint16_t pduSize) {
    if (address < 1 || address > 126) return false;
    return stations_.try_emplace(address, address, sizes, pduSize).second;
}

Station* Bus::station(std::uint8_t address) {
    auto it = stations_.find(address);
    return it == stations_.end() ? nullptr : &it->second;
}

void Bus::setScanTime(std::uint8_t address, std::uint32_t ms) { scanMs_[address] = ms; }

std::optional<Reply> Bus::onFrame(const Frame& frame, std::int64_t nowUs) {
    if (frame.kind == FrameKind::SD4) return std::nullopt;
    if (IsStatusRequest(frame) && station(frame.da)) {
        Reply reply;
        reply.bytes = EncodeSD1(frame.sa, frame.da, kStatusSlave);
        reply.note = "station " + std::to_string(frame.da) + ": status " + StatusMeaning(kStatusSlave);
        return reply;
    }
    if (!IsSrdRequest(frame.fc)) return std::nullopt;
    Station* target = station(frame.da);
    if (!target) return std::nullopt;
    if (frame.kind == FrameKind::SD2)
        if (auto busy = busyWithAnother(*target, frame, nowUs)) return busy;
    if (frame.kind == FrameKind::SD2) return onRequest(*target, frame, nowUs);
    return onPoll(*target, nowUs);
}

Bytes Bus::garbage(std::size_t length, bool anyFrameStart) {
    Bytes bytes;
    while (bytes.size() < length) {
        const auto b = static_cast<std::uint8_t>(faults_.drawBits());
        // Noise that starts like a frame would be read as one.
        if ((bytes.empty() || anyFrameStart) && (b == kSC || b == kSD1 || b == kSD2 || b == kSD4)) continue;
        bytes.push_back(b);
    }
    return bytes;
}

Bytes Bus::noise(std::size_t length) { return garbage(length, true); }

std::optional<Reply> Bus::busyWithAnother(const Station& station, const Frame& frame, std::int64_t nowUs) const {
    const auto it = pending_.find(station.address());
    if (it == pending_.end() || it->second.master == frame.sa || nowUs - it->second.sinceUs >= kServeHoldUs)
        return std::nullopt;
    Reply reply;
    reply.bytes = EncodeSD1(frame.sa, station.address(), kFcNoResource);
    reply.note = "station " + std::to_string(station.address()) + ": no resource, still serving master " +
                 std::to_string(it->second.master);
    return reply;
}

Reply Bus::onRequest(Station& station, const Frame& frame, std::int64_t nowUs) {
    const std::uint8_t st = station.address();
    pending_.erase(st);
    trickled_.erase(st);
    busy_.erase(st);
    const FaultDecision fault = faults_.decide(st, IsMemoryJob(frame.data));
    Reply reply;
    reply.delayMs = fault.delayMs;
    if (fault.kind == FaultKind::NoResource || fault.kind == FaultKind::Busy) {
        // The request is taken but not carried out: the poll learns why.
        if (fault.kind == FaultKind::NoResource)
            pending_[st] = Pending{EncodeSD1(frame.sa, st, kFcNoResource), nowUs, frame.sa, nowUs};
        else
            busy_[st] = true;
        reply.bytes = {kSC};
        reply.note = "station " + std::to_string(st) + ": ref " + ReferenceText(frame.data) +
                     " not carried out; fault " + NameOf(*fault.kind);
        return reply;
    }
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
        reply.bytes = garbage(fault.arg.value_or(kDefaultGarbageLength), false);
        reply.note = "fault garbage";
        return reply;
    }
    if (fault.kind == FaultKind::Flood) {
        reply.flood = true;
        reply.floodMs = fault.arg.value_or(0);
        reply.note = "fault flood";
        return reply;
    }
    std::optional<std::uint8_t> refusal;
    if (fault.kind == FaultKind::Refuse)
        refusal = static_cast<std::uint8_t>(fault.arg.value_or(kDefaultRefusal));
    Bytes answer;
    if (fault.kind == FaultKind::Reject) {
        // The job is not carried out: the header's error class and code say why.
        const auto code = static_cast<std::uint16_t>(fault.arg.value_or(kDefaultRejection));
        answer = EncodeSD2(frame.sa, st, kFcResponseData,
                           EncodeErrorResponse(ReferenceOf(frame.data), static_cast<std::uint8_t>(code >> 8),
                                               static_cast<std::uint8_t>(code & 0xFF)));
        reply.note = "station " + std::to_string(st) + ": request rejected; fault reject";
    } else {
        answer = EncodeSD2(frame.sa, st, kFcResponseData, station.execute(frame.data, refusal));
        reply.note = "station " + std::to_string(st) + ": " + station.lastJob() + ", ref " +
                     ReferenceText(frame.data);
    }
    // A late answer with no earlier one to stand in leaves nothing to poll.
    if (Bytes response = spoilt(station, frame, fault, answer, reply.note); !response.empty()) {
        const auto scan = scanMs_.find(st);
        const std::int64_t scanUs = scan == scanMs_.end() ? 0 : std::int64_t{scan->second} * 1000;
        pending_[st] = Pending{std::move(response), nowUs + scanUs, frame.sa, nowUs};
    }
    answered_[st] = Answer{std::move(answer), station.lastJob() + (refusal ? ", refused" : "")};
    if (fault.kind == FaultKind::Trickle) {
        reply.trickleMs = fault.arg.value_or(kDefaultTrickleMs);
        trickled_[st] = reply.trickleMs;
        reply.note += "; fault trickle";
    }
    reply.bytes = {kSC};
    return reply;
}

Bytes Bus::spoilt(Station& station, const Frame& frame, const FaultDecision& fault, Bytes answer,
                  std::string& note) {
    switch (fault.kind.value_or(FaultKind::Delay)) {
    case FaultKind::BadFcs:
        answer[answer.size() - 2] ^= 0x5A;
        note += "; fault badfcs";
        return answer;
    case FaultKind::Truncate:
    case FaultKind::Drop: {
        const std::size_t keep = fault.arg.value_or(answer.size() / 2);
        if (keep < answer.size()) answer.resize(keep);
        note += std::string("; fault ") + NameOf(*fault.kind);
        if (fault.kind == FaultKind::Drop) dropping_[station.address()] = true;
        return answer;
    }
    case FaultKind::Refuse:
        note += "; fault refuse";
        return answer;
    case FaultKind::Mismatch: {
        const auto job = DecodeJob(frame.data);
        if (!job) return answer;  // an unusable job: its error answer stands
        const WrongAnswer wrong = AnswerOfAnotherRequest(*job, faults_.drawBits(), station.messageLimit());
        note += "; fault mismatch (" + wrong.what + ")";
        return EncodeSD2(frame.sa, station.address(), kFcResponseData, wrong.message);
    }
    case FaultKind::Late: {
        auto previous = answered_.find(station.address());
        if (previous == answered_.end()) {
            note += "; fault late (no earlier answer)";
            return {};
        }
        note += "; fault late (answer of: " + previous->second.job + ")";
        return previous->second.frame;
    }
    default:
        return answer;
    }
}

Reply Bus::onPoll(Station& station, std::int64_t nowUs) {
    Reply reply;
    if (busy_.count(station.address())) {
        reply.bytes = {kSC};
        reply.note = "poll, station busy; fault busy";
        return reply;
    }
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
    reply.note = reply.bytes.size() > 12 && reply.bytes[0] == kSD2
                     ? "poll, response, ref " + ReferenceText(std::span(reply.bytes).subspan(7))
                     : "poll, response";
    pending_.erase(it);
    reply.hangUp = dropping_.erase(station.address()) > 0;
    if (auto trickle = trickled_.find(station.address()); trickle != trickled_.end()) {
        reply.trickleMs = trickle->second;
        trickled_.erase(trickle);
    }
    return reply;
}

}  // namespace ppisim
