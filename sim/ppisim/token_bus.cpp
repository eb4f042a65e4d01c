#include "ppisim/token_bus.h"

#include <algorithm>
#include <cstdio>

#include "ppisim/fdl.h"

namespace ppisim {
namespace {

std::string Number(unsigned n) { return std::to_string(n); }

std::string Milliseconds(double us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", us / 1000.0);
    return text;
}

std::string RingText(const std::set<std::uint8_t>& ring) {
    std::string text = "ring:";
    for (std::uint8_t a : ring) {
        text += ' ';
        text += Number(a);
    }
    return text;
}

}  // namespace

TokenBus::TokenBus(Bus& stations, const BusParams& params, Trace& trace, std::uint32_t seed)
    : stations_(stations), params_(params), trace_(trace), seed_(seed) {}

bool TokenBus::addMaster(const MasterConfig& config, std::string* why) {
    auto fail = [why](std::string text) {
        if (why) *why = std::move(text);
        return false;
    };
    if (config.address > params_.hsa)
        return fail("address " + Number(config.address) + " is above HSA " + Number(params_.hsa));
    if (!config.duplicate) {
        if (stations_.station(config.address)) return fail("address " + Number(config.address) + " is a CPU station's");
        for (const auto& m : masters_)
            if (m->address() == config.address) return fail("address " + Number(config.address) + " given twice");
    }
    if (!stations_.station(config.station))
        return fail("station " + Number(config.station) + " to read from is not simulated");
    masters_.push_back(std::make_unique<SimMaster>(
        config, params_, [this](std::int64_t t, const std::string& text) { trace_.note(t, text); },
        seed_));
    return true;
}

std::int64_t TokenBus::stationDueUs() const {
    return stationReplies_.empty() ? kNeverUs : stationReplies_.front().atUs;
}

std::int64_t TokenBus::nextEventUs() const {
    std::int64_t t = stationDueUs();
    for (const Transmission& tx : onAir_) t = std::min(t, tx.endUs);
    for (const auto& m : masters_) t = std::min(t, m->dueUs());
    if (!out_.empty()) t = std::min(t, out_.front().dueUs);
    return t;
}

void TokenBus::advance(std::int64_t nowUs) {
    // Bounded, in case a station keeps asking to act without acting.
    for (int step = 0; step < 100000; ++step) {
        std::int64_t airEnd = kNeverUs;
        std::size_t ending = 0;
        for (std::size_t i = 0; i < onAir_.size(); ++i)
            if (onAir_[i].endUs < airEnd) airEnd = onAir_[i].endUs, ending = i;
        const std::int64_t stationDue = stationDueUs();
        std::int64_t masterDue = kNeverUs;
        std::size_t due = 0;
        for (std::size_t i = 0; i < masters_.size(); ++i)
            if (masters_[i]->dueUs() < masterDue) masterDue = masters_[i]->dueUs(), due = i;
        const std::int64_t t = std::min({airEnd, stationDue, masterDue});
        if (t > nowUs) break;
        nowUs_ = std::max(nowUs_, t);
        if (t == airEnd) {
            Transmission tx = std::move(onAir_[ending]);
            onAir_.erase(onAir_.begin() + static_cast<std::ptrdiff_t>(ending));
            finish(tx);
        } else if (t == stationDue) {
            StationReply reply = std::move(stationReplies_.front());
            stationReplies_.pop_front();
            Transmission tx;
            tx.sender = kStation;
            tx.address = reply.address;
            tx.bytes = std::move(reply.bytes);
            tx.startUs = nowUs_;
            start(std::move(tx));
        } else if (auto bytes = masters_[due]->tick(nowUs_)) {
            Transmission tx;
            tx.sender = static_cast<int>(due);
            tx.address = masters_[due]->address();
            tx.bytes = std::move(*bytes);
            tx.startUs = nowUs_;
            start(std::move(tx));
        }
    }
    nowUs_ = std::max(nowUs_, nowUs);
}

void TokenBus::outsideFrame(const Frame& frame, std::int64_t startUs) {
    advance(startUs);
    Transmission tx;
    tx.sender = kOutside;
    tx.address = frame.sa;
    tx.bytes = frame.raw;
    tx.frame = frame;
    tx.startUs = std::max(startUs, nowUs_);
    if (onAir_.empty() && lastEndUs_ >= 0 && tx.startUs - lastEndUs_ < params_.idleUs()) {
        ++totals_.idleViolations;
        const auto bits = (tx.startUs - lastEndUs_) * static_cast<std::int64_t>(params_.baud) / 1000000;
        trace_.note(tx.startUs, "bus idle violated (" + Number(static_cast<unsigned>(bits)) + " bit times)");
    }
    if (outOfTurn(frame, tx.startUs)) {
        ++totals_.outOfTurn;
        trace_.note(tx.startUs, "out of turn: " + describe(tx) + " while station " + Number(*holder_) +
                                    " holds the token");
        tx.lost = true;
        // One on the line already is what it collides with; else the next.
        if (onAir_.empty()) spoilUntilUs_ = tx.startUs + params_.lineUs(tx.bytes.size()) + params_.slotUs();
    }
    start(std::move(tx));
}

bool TokenBus::outOfTurn(const Frame& frame, std::int64_t startUs) const {
    if (masters_.empty() || !holder_ || *holder_ == frame.sa) return false;
    // After the sender's lost-token time of silence it may claim the token.
    const bool claim = frame.kind == FrameKind::SD4 && frame.sa == frame.da;
    if (claim && startUs - lastEndUs_ >= params_.lostTokenUs(frame.sa)) return false;
    // The station that passed the token last passes it again (or on to
    // another) when the receiver stayed silent for a slot time.
    const bool passedAgain = frame.kind == FrameKind::SD4 && lastPasser_ && *lastPasser_ == frame.sa;
    if (passedAgain && startUs - lastEndUs_ >= params_.slotUs()) return false;
    return frame.kind == FrameKind::SD4 || (frame.fc & kFcRequestBit) != 0;
}

std::string TokenBus::describe(const Transmission& tx) const {
    std::string who = tx.sender == kOutside ? "the outside master's"
                      : tx.sender == kStation ? "station " + Number(tx.address) + "'s"
                                              : "master " + Number(tx.address) + "'s";
    bool sc = false;
    const auto frame = tx.frame ? tx.frame : DecodeWholeFrame(tx.bytes, &sc);
    if (sc) return who + " SC";
    if (!frame) return who + " noise";
    if (frame->kind == FrameKind::SD4) return who + " token " + Number(frame->sa) + " -> " + Number(frame->da);
    if (IsStatusRequest(*frame)) return who + " status request to " + Number(frame->da);
    return who + " frame to " + Number(frame->da);
}

void TokenBus::collide(Transmission& other, const Transmission& tx, std::int64_t atUs) {
    if (!other.lost) {
        ++totals_.collisions;
        trace_.note(atUs, "collision: " + describe(other) + " and " + describe(tx) + "; both lost");
    }
    other.lost = true;
    // What was not yet on the line of the lost frame is not sent.
    std::erase_if(out_, [&](const OutByte& b) { return b.id == other.id && b.dueUs > atUs; });
}

void TokenBus::start(Transmission tx) {
    tx.id = nextId_++;
    tx.endUs = tx.startUs + params_.lineUs(tx.bytes.size());
    for (Transmission& other : onAir_) {
        collide(other, tx, tx.startUs);
        tx.lost = true;
    }
    if (tx.sender != kOutside) {
        trace_.frame(tx.startUs, "tx", tx.bytes);
        if (tx.startUs <= spoilUntilUs_ && !tx.lost) {
            ++totals_.collisions;
            trace_.note(tx.startUs, "collision: " + describe(tx) + " with the out-of-turn frame; both lost");
            tx.lost = true;
        }
        spoilUntilUs_ = -1;
        // The bytes leave as the line carries them; a collision cuts them short.
        for (std::size_t i = 0; i < tx.bytes.size(); ++i)
            out_.push_back({tx.startUs + params_.lineUs(i + 1), tx.bytes[i], tx.id});
    }
    for (std::size_t i = 0; i < masters_.size(); ++i)
        if (static_cast<int>(i) != tx.sender) masters_[i]->lineBusy(tx.startUs);
    onAir_.push_back(std::move(tx));
}

void TokenBus::finish(const Transmission& tx) {
    ++totals_.frames;
    lastEndUs_ = std::max(lastEndUs_, tx.endUs);
    Heard heard;
    if (!tx.lost) {
        if (tx.frame) heard.frame = tx.frame;
        else heard.frame = DecodeWholeFrame(tx.bytes, &heard.sc);
    }
    for (std::size_t i = 0; i < masters_.size(); ++i) {
        if (static_cast<int>(i) == tx.sender) masters_[i]->ownEnded(tx.endUs);
        else masters_[i]->hear(heard, tx.endUs);
    }
    if (heard.frame) {
        observe(*heard.frame, tx.endUs);
        serveStations(*heard.frame, tx.endUs);
    }
}

void TokenBus::observe(const Frame& frame, std::int64_t endUs) {
    if (frame.kind == FrameKind::SD4) {
        trace_.note(endUs, "token " + Number(frame.sa) + " -> " + Number(frame.da));
        holder_ = frame.da;
        lastPasser_ = frame.sa;
        auto ring = ring_;
        NoteTokenPass(ring, frame.sa, frame.da, std::max<unsigned>(params_.hsa, std::max(frame.sa, frame.da)));
        if (ring != ring_) {
            ring_ = std::move(ring);
            trace_.note(endUs, RingText(ring_));
        }
        return;
    }
    if (IsStatusRequest(frame)) {
        trace_.note(endUs, "status request " + Number(frame.sa) + " -> " + Number(frame.da));
        statusAsked_ = std::make_pair(frame.sa, frame.da);
        return;
    }
    if (IsStatusReply(frame) && statusAsked_ == std::make_pair(frame.da, frame.sa)) {
        trace_.note(endUs, "status " + Number(frame.sa) + " -> " + Number(frame.da) + ": " +
                               StatusMeaning(frame.fc));
    }
    statusAsked_.reset();
}

void TokenBus::serveStations(const Frame& frame, std::int64_t endUs) {
    const auto reply = stations_.onFrame(frame, endUs);
    if (!reply) return;
    if (!reply->note.empty()) trace_.note(endUs, reply->note);
    if (reply->bytes.empty()) return;
    StationReply answer{frame.da, reply->bytes,
                        endUs + params_.idleUs() + std::int64_t{reply->delayMs} * 1000};
    auto at = std::upper_bound(stationReplies_.begin(), stationReplies_.end(), answer.atUs,
                               [](std::int64_t t, const StationReply& r) { return t < r.atUs; });
    stationReplies_.insert(at, std::move(answer));
}

Bytes TokenBus::takeBytes(std::int64_t nowUs) {
    Bytes bytes;
    while (!out_.empty() && out_.front().dueUs <= nowUs) {
        bytes.push_back(out_.front().byte);
        out_.pop_front();
    }
    return bytes;
}

std::vector<std::string> TokenBus::summary() const {
    std::vector<std::string> lines;
    for (const auto& m : masters_) {
        const MasterStats& s = m->stats();
        const double mean = s.rotations ? static_cast<double>(s.rotationSumUs) / static_cast<double>(s.rotations) : 0;
        lines.push_back("summary master=" + Number(m->address()) + " token_visits=" + std::to_string(s.visits) +
                        " jobs_done=" + std::to_string(s.jobsDone) + " jobs_failed=" + std::to_string(s.jobsFailed) +
                        " rotation_mean_ms=" + Milliseconds(mean) +
                        " rotation_max_ms=" + Milliseconds(static_cast<double>(s.rotationMaxUs)));
    }
    lines.push_back("summary line=totals frames=" + std::to_string(totals_.frames) +
                    " collisions=" + std::to_string(totals_.collisions) +
                    " out_of_turn=" + std::to_string(totals_.outOfTurn) +
                    " idle_violations=" + std::to_string(totals_.idleViolations));
    return lines;
}

}  // namespace ppisim
