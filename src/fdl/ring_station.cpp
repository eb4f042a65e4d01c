#include "fdl/ring_station.h"

#include <cstdio>

#include "core/host_log.h"
#include "fdl/fdl_line.h"
#include "platform/platform.h"

namespace plclink {
namespace {

// The longest single wait for a frame while listening: the station looks at
// its stop request and its queued work at least this often.
constexpr std::uint32_t kListenSliceMs = 50;
constexpr std::uint32_t kHandOffPollMs = 1;

}  // namespace

RingStation::RingStation(LineHandle line, const RingSettings& settings, std::uint32_t baud,
                         std::int32_t instanceNumber)
    : line_(line),
      settings_(settings),
      timing_(RingTimingFor(settings, baud)),
      number_(instanceNumber),
      baud_(baud),
      own_(settings.address),
      list_(settings.hsa),
      startMs_(Platform().monotonicMs()),
      lastActivityMs_(startMs_),
      visitsSinceRound_(settings.gapFactor),
      joinDeadline_(timing_.joinBoundMs) {
    err(kLogCategory, "Vpi%s%02d: station %u joining the token ring", kFamilyTag, number_,
        static_cast<unsigned>(own_));
}

std::uint32_t RingStation::Elapsed() const {
    return static_cast<std::uint32_t>(Platform().monotonicMs() - startMs_);
}

void RingStation::Step() {
    if (!holding_) {
        const std::uint64_t silent = Platform().monotonicMs() - lastActivityMs_;
        if (!duplicate_ && silent >= timing_.lostTokenMs) {
            ClaimToken();
        } else {
            const std::uint64_t left = duplicate_ ? kListenSliceMs : timing_.lostTokenMs - silent;
            const FdlFrame frame =
                ReceiveFdlFrame(line_, static_cast<std::uint32_t>(left < kListenSliceMs ? left : kListenSliceMs),
                                timing_.idleMs);
            if (frame.kind != FdlFrame::Kind::kNone) {
                lastActivityMs_ = Platform().monotonicMs();
                Handle(frame);
            }
        }
    }
    if (duplicate_) FailQueuedWork();
    if (holding_) {
        holding_ = false;
        HoldToken();
    }
}

void RingStation::Serve() {
    while (!stopping_.load(std::memory_order_acquire)) Step();
    if (inRing_)
        err(kLogCategory, "Vpi%s%02d: station %u leaving the token ring", kFamilyTag, number_,
            static_cast<unsigned>(own_));
    FailQueuedWork();
}

void RingStation::Handle(const FdlFrame& frame) {
    if (frame.hasSource && frame.sa == own_) {
        SawOwnAddress();
        return;
    }
    if (duplicate_) return;
    if (frame.kind == FdlFrame::Kind::kToken) {
        HandleToken(frame);
    } else if (frame.kind == FdlFrame::Kind::kStatusRequest && frame.da == own_) {
        AnswerStatus(frame.sa);
    }
}

// A pass between other stations updates the list; one that goes over the
// station's own address means it is no longer in the ring. A pass to the
// station is taken from its predecessor, or from another station when that
// one passes it again.
void RingStation::HandleToken(const FdlFrame& frame) {
    if (frame.da != own_) {
        list_.HearPass(frame.sa, frame.da);
        if (inRing_ && StationList::Between(frame.sa, frame.da, own_)) {
            inRing_ = false;
            joinDeadline_.store(Elapsed() + timing_.joinBoundMs, std::memory_order_release);
            state_.store(RingState::kJoining, std::memory_order_release);
            err(kLogCategory, "Vpi%s%02d: station %u out of the token ring (station %u passed over it)",
                kFamilyTag, number_, static_cast<unsigned>(own_), static_cast<unsigned>(frame.sa));
        }
        return;
    }
    if (!inRing_ && !list_.Valid()) return;  // still listening: not admitted
    if (frame.sa == list_.PredecessorOf(own_) || frame.sa == repeatFrom_) {
        repeatFrom_ = kNoStation;
        list_.Add(frame.sa);
        EnterRing();
        holding_ = true;
    } else {
        repeatFrom_ = frame.sa;
    }
}

// Not ready while the list is not valid; ready to the predecessor once it
// is; in the ring once admitted.
void RingStation::AnswerStatus(std::uint8_t asker) {
    std::uint8_t fc = kMasterNotReady;
    if (inRing_) {
        fc = kMasterInRing;
    } else if (list_.Valid() && asker == list_.PredecessorOf(own_)) {
        fc = kMasterReady;
    }
    std::uint8_t reply[kSd1FrameLength];
    BuildSd1(asker, own_, fc, reply);
    PauseBeforeFrame();
    SendFdlFrame(line_, reply, sizeof reply, baud_);
}

void RingStation::ClaimToken() {
    err(kLogCategory, "Vpi%s%02d: station %u claims the token (line silent for %u ms)", kFamilyTag,
        number_, static_cast<unsigned>(own_), static_cast<unsigned>(timing_.lostTokenMs));
    SendToken(own_);
    SendToken(own_);
    lastActivityMs_ = Platform().monotonicMs();
    EnterRing();
    holding_ = true;
}

void RingStation::EnterRing() {
    if (inRing_) return;
    inRing_ = true;
    state_.store(RingState::kInRing, std::memory_order_release);
    char ring[128 * 4 + 1] = "";
    std::size_t used = 0;
    for (int a = 0; a < 128; ++a) {
        if (a != own_ && !list_.IsActive(static_cast<std::uint8_t>(a))) continue;
        used += static_cast<std::size_t>(std::snprintf(ring + used, sizeof ring - used, " %d", a));
    }
    err(kLogCategory, "Vpi%s%02d: station %u in the token ring (ring:%s)", kFamilyTag, number_,
        static_cast<unsigned>(own_), ring);
}

// One token visit: the queued work (one exchange), one gap address, then the
// token to the successor (or to a newcomer of the gap that is ready).
void RingStation::HoldToken() {
    RunQueuedWork();
    if (ForeignFrameWaiting()) {
        // Another master sends while the station holds the token: the
        // station's visit was stalled past a lost-token time and the token
        // has been claimed, or a frame broke into its exchange. It gives the
        // token up and listens (its predecessor passes it again).
        lastActivityMs_ = Platform().monotonicMs();
        return;
    }
    const int newcomer = PollGap();
    PassToken(newcomer != kNoStation ? newcomer : list_.SuccessorOf(own_));
    lastActivityMs_ = Platform().monotonicMs();
}

// Bytes on the line after the visit's work, which read its answer to the end.
bool RingStation::ForeignFrameWaiting() const {
    std::uint32_t errors = 0, waiting = 0;
    return Platform().clearErrors(line_, &errors, &waiting) && waiting > 0;
}

void RingStation::RunQueuedWork() {
    int expected = kQueued;
    if (!workState_.compare_exchange_strong(expected, kRunning, std::memory_order_acq_rel)) return;
    SetLineWaitMs(line_, timing_.slotMs);
    workResult_ = work_.run(work_.context, VisitTiming{timing_.idleMs, timing_.slotMs, baud_});
    workState_.store(kDone, std::memory_order_release);
}

void RingStation::FailQueuedWork() {
    int expected = kQueued;
    if (!workState_.compare_exchange_strong(expected, kRunning, std::memory_order_acq_rel)) return;
    workResult_ = kVisitNotInRing;
    workState_.store(kDone, std::memory_order_release);
}

// Every GAP visits a round through the gap (the addresses after the station
// up to its successor, wrapping after HSA) begins; each visit polls one of
// its addresses. Returns an address whose master is ready to enter the ring.
int RingStation::PollGap() {
    if (!roundActive_) {
        if (visitsSinceRound_ < settings_.gapFactor) {
            ++visitsSinceRound_;
            return kNoStation;
        }
        roundActive_ = true;
        visitsSinceRound_ = 0;
        nextGapAddress_ = own_;
    }
    ++visitsSinceRound_;
    const int successor = list_.SuccessorOf(own_);
    const int end = successor == kNoStation ? own_ : successor;
    const auto after = [this](int a) { return a >= settings_.hsa ? 0 : a + 1; };
    nextGapAddress_ = after(nextGapAddress_);
    if (nextGapAddress_ == end || nextGapAddress_ == own_) {
        roundActive_ = false;
        return kNoStation;
    }
    const auto address = static_cast<std::uint8_t>(nextGapAddress_);
    if (after(nextGapAddress_) == end) roundActive_ = false;

    std::uint8_t request[kSd1FrameLength];
    BuildSd1(address, own_, kFcStatusRequest, request);
    PauseBeforeFrame();
    if (!SendFdlFrame(line_, request, sizeof request, baud_)) return kNoStation;
    const FdlFrame reply = ReceiveFdlFrame(line_, AnswerWaitMs(), timing_.idleMs);
    if (reply.hasSource && reply.sa == own_) {
        SawOwnAddress();  // a status reply from the station's own address
        return kNoStation;
    }
    const bool ready = reply.kind == FdlFrame::Kind::kStatusReply && reply.sa == address &&
                       reply.da == own_ && (reply.fc & kStationTypeMask) == kMasterReady;
    return ready ? address : kNoStation;
}

// Passes the token and watches for the new holder's first frame within the
// slot time: up to three passes, then the station is dropped and the next
// one gets the token. Alone, the station passes the token to itself and
// holds it again.
void RingStation::PassToken(int target) {
    if (duplicate_) return;
    for (;;) {
        if (target == kNoStation || target == own_) {
            SendToken(own_);
            holding_ = true;
            return;
        }
        const auto to = static_cast<std::uint8_t>(target);
        for (int pass = 0; pass < kTokenPasses; ++pass) {
            SendToken(to);
            const FdlFrame frame = ReceiveFdlFrame(line_, AnswerWaitMs(), timing_.idleMs);
            if (frame.kind != FdlFrame::Kind::kNone) {
                lastActivityMs_ = Platform().monotonicMs();
                Handle(frame);
                return;
            }
        }
        err(kLogCategory, "Vpi%s%02d: station %u dropped from the token ring (no answer to %d token passes)",
            kFamilyTag, number_, static_cast<unsigned>(to), kTokenPasses);
        list_.Drop(to);
        target = list_.SuccessorOf(own_);
    }
}

// The bus idle time before a frame, of which the RTS lead of the send is the
// last millisecond.
void RingStation::PauseBeforeFrame() const {
    Platform().sleepMs(timing_.idleMs > kRtsLeadMs ? timing_.idleMs - kRtsLeadMs : 0);
}

// SendFdlFrame returns once the frame is on the line: the slot time counts
// from there.
std::uint32_t RingStation::AnswerWaitMs() const { return timing_.slotMs; }

bool RingStation::SendToken(std::uint8_t to) {
    std::uint8_t token[kTokenLength];
    BuildToken(to, own_, token);
    PauseBeforeFrame();
    return SendFdlFrame(line_, token, sizeof token, baud_);
}

// A frame from the station's own address that it did not send. One may be
// noise after a collision that happens to pass as a frame; a second one
// within two target rotation times is another station at its address.
void RingStation::SawOwnAddress() {
    const std::uint64_t now = Platform().monotonicMs();
    const bool again = ownAddressSeen_ && now - ownAddressSeenMs_ <= 2ull * timing_.rotationMs;
    ownAddressSeen_ = true;
    ownAddressSeenMs_ = now;
    if (again) Duplicate();
}

void RingStation::Duplicate() {
    if (duplicate_) return;
    duplicate_ = true;
    inRing_ = false;
    holding_ = false;
    state_.store(RingState::kDuplicate, std::memory_order_release);
    err(kLogCategory, "Vpi%s%02d: station address %u is in use by another station, staying out of the token ring",
        kFamilyTag, number_, static_cast<unsigned>(own_));
}

void RingStation::Queue(const TokenVisitWork& work) {
    work_ = work;
    workResult_ = 0;
    workState_.store(kQueued, std::memory_order_release);
}

bool RingStation::TakeResult(int* result) {
    if (workState_.load(std::memory_order_acquire) != kDone) return false;
    *result = workResult_;
    workState_.store(kNoWork, std::memory_order_release);
    return true;
}

int RingStation::RunInTokenVisit(const TokenVisitWork& work, std::uint32_t waitMs) {
    const PlatformOps& os = Platform();
    for (;;) {
        const RingState state = State();
        if (state == RingState::kDuplicate) return kVisitNotInRing;
        if (state == RingState::kInRing) break;
        if (Elapsed() >= joinDeadline_.load(std::memory_order_acquire)) return kVisitNotInRing;
        os.sleepMs(kHandOffPollMs);
    }
    Queue(work);
    const std::uint64_t deadline = os.monotonicMs() + waitMs;
    int result = 0;
    while (!TakeResult(&result)) {
        if (os.monotonicMs() >= deadline) {
            int expected = kQueued;
            if (workState_.compare_exchange_strong(expected, kNoWork, std::memory_order_acq_rel))
                return kVisitSilent;
            // Already running: it ends within its token visit.
            while (!TakeResult(&result)) os.sleepMs(kHandOffPollMs);
            return result;
        }
        os.sleepMs(kHandOffPollMs);
    }
    return result;
}

void RingStation::DescribeNotInRing(char* text, std::size_t room) const {
    if (State() == RingState::kDuplicate) {
        std::snprintf(text, room, "station address %u is in use by another station",
                      static_cast<unsigned>(own_));
    } else {
        std::snprintf(text, room, "not admitted within %u.%u s",
                      static_cast<unsigned>(timing_.joinBoundMs / 1000),
                      static_cast<unsigned>(timing_.joinBoundMs % 1000 / 100));
    }
}

}  // namespace plclink
