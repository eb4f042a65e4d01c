#include "ppisim/sim_master.h"

#include <algorithm>

#include "ppisim/fdl.h"

namespace ppisim {
namespace {

// FCs of the master's job: the request and the poll for its answer.
constexpr std::uint8_t kFcJobRequest = 0x6C;
constexpr std::uint8_t kFcJobPoll = 0x5C;
// Polls answered with SC (answer not ready) before the job counts as failed.
constexpr unsigned kPollsPerJob = 5;

std::string Number(unsigned n) { return std::to_string(n); }

}  // namespace

SimMaster::SimMaster(const MasterConfig& config, const BusParams& params, Note note, std::uint32_t seed)
    : config_(config), params_(params), note_(std::move(note)), random_(seed * 131u + config.address) {}

void SimMaster::say(std::int64_t nowUs, const std::string& text) const {
    if (note_) note_(nowUs, "master " + Number(config_.address) + ": " + text);
}

std::uint8_t SimMaster::next(std::uint8_t address) const {
    return address >= params_.hsa ? 0 : static_cast<std::uint8_t>(address + 1);
}

std::uint8_t SimMaster::successor() const {
    std::uint8_t x = config_.address;
    for (unsigned i = 0; i <= params_.hsa; ++i) {
        x = next(x);
        if (x == config_.address) break;
        if (las_.count(x)) return x;
    }
    return config_.address;
}

std::uint8_t SimMaster::predecessor() const {
    std::uint8_t x = config_.address;
    for (unsigned i = 0; i <= params_.hsa; ++i) {
        x = x == 0 ? static_cast<std::uint8_t>(params_.hsa) : static_cast<std::uint8_t>(x - 1);
        if (x == config_.address) break;
        if (las_.count(x)) return x;
    }
    return config_.address;
}

bool SimMaster::inGap(std::uint8_t address) const {
    std::uint8_t x = config_.address;
    for (unsigned i = 0; i <= params_.hsa; ++i) {
        x = next(x);
        if (x == config_.address || (x == ns_ && ns_ != config_.address)) return false;
        if (x == address) return true;
    }
    return false;
}

std::int64_t SimMaster::dueUs() const {
    if (phase_ == Phase::Off) return kNeverUs;
    std::int64_t due = std::min(outbox_ ? sendAtUs_ : kNeverUs, timeoutUs_);
    if (config_.silentAfterS > 0) due = std::min(due, static_cast<std::int64_t>(config_.silentAfterS * 1e6));
    if ((phase_ == Phase::Listening || phase_ == Phase::InRing) && !lineBusy_ && !outbox_ && !duplicateHeard_)
        due = std::min(due, quietSinceUs_ + params_.lostTokenUs(config_.address));
    return due;
}

void SimMaster::queue(Bytes frame, std::int64_t atUs, Phase after) {
    outbox_ = std::move(frame);
    sendAtUs_ = lineBusy_ ? kNeverUs : std::max(atUs, quietSinceUs_ + params_.idleUs());
    afterSend_ = after;
    timeoutUs_ = kNeverUs;
}

std::optional<Bytes> SimMaster::tick(std::int64_t nowUs) {
    if (phase_ == Phase::Off) return std::nullopt;
    if (config_.silentAfterS > 0 && nowUs >= static_cast<std::int64_t>(config_.silentAfterS * 1e6)) {
        phase_ = Phase::Off;
        outbox_.reset();
        say(nowUs, "goes silent (fault)");
        return std::nullopt;
    }
    if (outbox_ && nowUs >= sendAtUs_) {
        if (lineBusy_) {  // somebody else is on the line: wait until it is quiet
            sendAtUs_ = kNeverUs;
            return std::nullopt;
        }
        if (nowUs < ownUntilUs_) {
            sendAtUs_ = ownUntilUs_ + params_.idleUs();
            return std::nullopt;
        }
        Bytes frame = std::move(*outbox_);
        outbox_.reset();
        sendAtUs_ = kNeverUs;
        phase_ = afterSend_;
        const std::int64_t endUs = nowUs + params_.lineUs(frame.size());
        ownUntilUs_ = endUs;
        switch (phase_) {
        case Phase::AwaitSc:
        case Phase::AwaitResponse:
        case Phase::AwaitStatus:
        case Phase::Passing: timeoutUs_ = endUs + params_.slotUs(); break;
        case Phase::Claiming:
        case Phase::SelfToken: timeoutUs_ = endUs; break;
        default: timeoutUs_ = kNeverUs; break;
        }
        if (frame[0] == kSD4 && config_.garble > 0 &&
            std::uniform_real_distribution<double>(0, 1)(random_) < config_.garble) {
            for (std::uint8_t& b : frame) {
                do b = static_cast<std::uint8_t>(random_());
                while (b == kSC || b == kSD1 || b == kSD2 || b == kSD4);
            }
            say(nowUs, "the token comes out as noise (fault garble)");
        }
        return frame;
    }
    if (nowUs >= timeoutUs_) {
        timeoutUs_ = kNeverUs;
        onTimeout(nowUs);
        return std::nullopt;
    }
    if ((phase_ == Phase::Listening || phase_ == Phase::InRing) && !lineBusy_ && !outbox_ && !duplicateHeard_ &&
        nowUs >= quietSinceUs_ + params_.lostTokenUs(config_.address)) {
        say(nowUs, "token lost, claims it");
        claims_ = 0;
        queue(EncodeSD4(config_.address, config_.address), nowUs, Phase::Claiming);
    }
    return std::nullopt;
}

void SimMaster::lineBusy(std::int64_t startUs) {
    if (phase_ == Phase::Off) return;
    lineBusy_ = true;
    if (startUs < ownUntilUs_) return;  // on top of its own frame: a collision, nothing it hears
    switch (phase_) {
    case Phase::AwaitSc:
    case Phase::AwaitResponse:
    case Phase::AwaitStatus:
        timeoutUs_ = kNeverUs;  // an answer begins; judged when it ends
        break;
    case Phase::Passing:  // the new holder is active
        timeoutUs_ = kNeverUs;
        passes_ = 0;
        phase_ = Phase::InRing;
        break;
    default:
        break;
    }
}

void SimMaster::ownEnded(std::int64_t endUs) {
    quietSinceUs_ = endUs;
    if (outbox_ && sendAtUs_ == kNeverUs && !lineBusy_) sendAtUs_ = endUs + params_.idleUs();
}

void SimMaster::hear(const Heard& heard, std::int64_t endUs) {
    if (phase_ == Phase::Off) return;
    lineBusy_ = false;
    if (endUs <= ownUntilUs_) return;  // it was sending itself
    quietSinceUs_ = endUs;
    if (outbox_ && sendAtUs_ == kNeverUs) sendAtUs_ = endUs + params_.idleUs();
    if (heard.frame) {
        const Frame& frame = *heard.frame;
        if (frame.sa == config_.address) {
            const std::string why = "station " + Number(frame.sa) + " is on the line as well (duplicate address)";
            if (phase_ != Phase::Listening) leaveRing(endUs, why + "; leaves the ring");
            else if (!duplicateHeard_) say(endUs, why + "; does not join the ring");
            duplicateHeard_ = true;
            outbox_.reset();
            return;
        }
        if (frame.kind == FrameKind::SD4) {
            onTokenHeard(frame, endUs);
            return;
        }
        if (frame.da == config_.address && IsStatusRequest(frame)) {
            onStatusRequest(frame, endUs);
            return;
        }
    }
    if (phase_ == Phase::AwaitSc || phase_ == Phase::AwaitResponse || phase_ == Phase::AwaitStatus)
        onAnswer(heard, endUs);
}

void SimMaster::onTokenHeard(const Frame& token, std::int64_t endUs) {
    if (phase_ == Phase::Listening) {
        if (!anchor_) anchor_ = token.sa;
        else if (token.sa == *anchor_) ++rotationsHeard_;
    }
    bool take = false;
    if (token.da == config_.address && token.sa != config_.address && !duplicateHeard_ &&
        (phase_ == Phase::Listening || phase_ == Phase::InRing)) {
        const bool repeated = refusedFrom_ == token.sa;
        if (config_.lateToken) take = repeated;
        else if (phase_ == Phase::Listening) take = readyTold_ == token.sa || repeated;
        else take = token.sa == predecessor() || repeated;
        if (!take) {
            refusedFrom_ = token.sa;
            say(endUs, "token from " + Number(token.sa) + " not taken at its first pass" +
                           (config_.lateToken ? " (fault late-token)" : ""));
        }
    } else {
        refusedFrom_.reset();
    }
    noteLasFrom(token.sa, token.da);
    if (take) {
        refusedFrom_.reset();
        readyTold_.reset();
        takeToken(endUs);
    }
}

void NoteTokenPass(std::set<std::uint8_t>& las, std::uint8_t sa, std::uint8_t da, unsigned hsa) {
    if (sa == da) {
        las = {sa};
        return;
    }
    std::uint8_t x = sa;
    for (unsigned i = 0; i <= hsa; ++i) {
        x = x >= hsa ? 0 : static_cast<std::uint8_t>(x + 1);
        if (x == da || x == sa) break;
        las.erase(x);
    }
    las.insert(sa);
    las.insert(da);
}

void SimMaster::noteLasFrom(std::uint8_t sa, std::uint8_t da) {
    NoteTokenPass(las_, sa, da, params_.hsa);
    if (inRing_) las_.insert(config_.address);
}

void SimMaster::onStatusRequest(const Frame& request, std::int64_t endUs) {
    if ((phase_ != Phase::Listening && phase_ != Phase::InRing) || duplicateHeard_) return;
    const std::uint8_t fc = inRing_     ? kStatusMasterInRing
                            : lasValid() ? kStatusMasterReady
                                         : kStatusMasterNotReady;
    if (fc == kStatusMasterReady) readyTold_ = request.sa;
    queue(EncodeSD1(request.sa, config_.address, fc), endUs + params_.idleUs(), phase_);
}

void SimMaster::takeToken(std::int64_t nowUs) {
    phase_ = Phase::InRing;
    inRing_ = true;
    las_.insert(config_.address);
    ++stats_.visits;
    if (lastTokenUs_) {
        const std::int64_t rotation = nowUs - *lastTokenUs_;
        ++stats_.rotations;
        stats_.rotationSumUs += rotation;
        stats_.rotationMaxUs = std::max(stats_.rotationMaxUs, rotation);
    }
    lastTokenUs_ = nowUs;
    ns_ = successor();
    passes_ = 0;
    jobPending_ = config_.intervalMs == 0 || !jobsStarted_ ||
                  nowUs - lastJobUs_ >= std::int64_t{config_.intervalMs} * 1000;
    if (!sweeping_ && (!swept_ || stats_.visits - sweepVisit_ >= params_.gapFactor)) {
        sweeping_ = true;
        swept_ = true;
        sweepVisit_ = stats_.visits;
        gapNext_ = next(config_.address);
    }
    if (sweeping_) {
        gapPending_ = inGap(gapNext_);
        sweeping_ = gapPending_;
    }
    continueTurn(nowUs);
}

void SimMaster::continueTurn(std::int64_t nowUs) {
    phase_ = Phase::InRing;
    if (jobPending_) {
        jobPending_ = false;
        jobsStarted_ = true;
        lastJobUs_ = nowUs;
        pollsLeft_ = kPollsPerJob;
        polled_ = config_.station;
        ++reference_;
        queue(EncodeSD2(polled_, config_.address, kFcJobRequest,
                        EncodeReadJob(reference_, config_.area, config_.start, config_.length)),
              nowUs, Phase::AwaitSc);
    } else if (gapPending_) {
        gapPending_ = false;
        polled_ = gapNext_;
        gapNext_ = next(gapNext_);
        if (!inGap(gapNext_)) sweeping_ = false;
        queue(EncodeStatusRequest(polled_, config_.address), nowUs, Phase::AwaitStatus);
    } else {
        passToken(nowUs);
    }
}

void SimMaster::passToken(std::int64_t nowUs) {
    ++passes_;
    queue(EncodeSD4(ns_, config_.address), nowUs, ns_ == config_.address ? Phase::SelfToken : Phase::Passing);
}

void SimMaster::onTimeout(std::int64_t nowUs) {
    switch (phase_) {
    case Phase::Claiming:
        if (++claims_ < 2) {
            queue(EncodeSD4(config_.address, config_.address), nowUs, Phase::Claiming);
        } else {
            las_.insert(config_.address);
            takeToken(nowUs);
        }
        break;
    case Phase::SelfToken:
        takeToken(nowUs);
        break;
    case Phase::AwaitSc:
        jobFailed(nowUs, "no answer from station " + Number(polled_));
        break;
    case Phase::AwaitResponse:
        jobFailed(nowUs, "no response from station " + Number(polled_));
        break;
    case Phase::AwaitStatus:
        continueTurn(nowUs);
        break;
    case Phase::Passing:
        if (passes_ < params_.tokenPasses) {
            passToken(nowUs);
            break;
        }
        say(nowUs, "drops station " + Number(ns_) + " after " + Number(passes_) + " passes");
        las_.erase(ns_);
        ns_ = successor();
        passes_ = 0;
        passToken(nowUs);
        break;
    default:
        break;
    }
}

void SimMaster::onAnswer(const Heard& heard, std::int64_t endUs) {
    const Phase was = phase_;
    phase_ = Phase::InRing;
    const Frame* frame = heard.frame ? &*heard.frame : nullptr;
    const bool fromPolled = frame && frame->sa == polled_ && frame->da == config_.address;
    const bool noResource = fromPolled && frame->kind == FrameKind::SD1 && frame->fc == kFcNoResource;
    if (was == Phase::AwaitStatus) {
        if (fromPolled && IsStatusReply(*frame) && (frame->fc & 0x30) == kStatusMasterReady) {
            say(endUs, "admits station " + Number(polled_) + " to the ring");
            las_.insert(polled_);
            ns_ = polled_;
            passes_ = 0;
            sweeping_ = false;
        }
        continueTurn(endUs);
        return;
    }
    if (noResource) {
        jobFailed(endUs, "station " + Number(polled_) + " has no resource");
        return;
    }
    if (was == Phase::AwaitSc || (was == Phase::AwaitResponse && heard.sc)) {
        if (heard.sc && (was == Phase::AwaitSc || pollsLeft_-- > 0)) {
            queue(EncodeSD1(polled_, config_.address, kFcJobPoll), endUs, Phase::AwaitResponse);
            return;
        }
        jobFailed(endUs, heard.sc ? "answer not ready" : frame ? "unexpected frame" : "garbled answer");
        return;
    }
    if (fromPolled && frame->kind == FrameKind::SD2 && IsGoodReadAnswer(frame->data)) {
        ++stats_.jobsDone;
        continueTurn(endUs);
        return;
    }
    jobFailed(endUs, fromPolled ? "read refused" : frame ? "unexpected frame" : "garbled response");
}

void SimMaster::jobFailed(std::int64_t nowUs, const std::string& why) {
    ++stats_.jobsFailed;
    say(nowUs, "job failed: " + why);
    continueTurn(nowUs);
}

void SimMaster::leaveRing(std::int64_t nowUs, const std::string& why) {
    say(nowUs, why);
    phase_ = Phase::Listening;
    inRing_ = false;
    outbox_.reset();
    timeoutUs_ = kNeverUs;
    anchor_.reset();
    rotationsHeard_ = 0;
    lastTokenUs_.reset();
    las_.erase(config_.address);
}

}  // namespace ppisim
