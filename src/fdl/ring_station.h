// The driver's station in a PPI token ring. It listens to the line and
// builds its list of active stations, answers status requests, takes the
// token from its predecessor, runs the work that commands hand it while it
// holds the token, polls its gap, passes the token on, claims a lost token,
// and stays out of the ring when another station has its address.
//
// Step() is one turn of the station on the line through the platform table,
// so the scripted platform's virtual clock runs it in tests; Serve() runs
// the turns on the station's thread until Stop(). The hand-off
// (RunInTokenVisit) is the only part called from another thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/line_config.h"
#include "fdl/fdl_frames.h"
#include "fdl/ring_settings.h"
#include "fdl/station_list.h"
#include "fdl/token_visit_work.h"

namespace plclink {

// How often a token is passed to a silent successor before it is dropped.
inline constexpr int kTokenPasses = 3;

class RingStation {
public:
    enum class RingState { kJoining, kInRing, kDuplicate };

    RingStation(LineHandle line, const RingSettings& settings, std::uint32_t baud,
                std::int32_t instanceNumber);

    // One turn: listen for a frame (at most a short while) and answer it,
    // claim the token after the lost-token time of silence, and hold the
    // token when it is the station's.
    void Step();
    // Runs turns until Stop(); then leaves the ring by falling silent.
    void Serve();
    void Stop() { stopping_.store(true, std::memory_order_release); }

    // The hand-off, from a command's thread: waits for the ring within the
    // join bound, then runs `work` in a token visit that begins within
    // `waitMs`. The work's result, kVisitSilent, or kVisitNotInRing.
    int RunInTokenVisit(const TokenVisitWork& work, std::uint32_t waitMs);
    // The two halves of the hand-off (the tests run Step() between them):
    // queue `work` for the next visit; take its result once it ran.
    void Queue(const TokenVisitWork& work);
    bool TakeResult(int* result);
    // Why RunInTokenVisit gave kVisitNotInRing, in words for the log.
    void DescribeNotInRing(char* text, std::size_t room) const;

    RingState State() const { return state_.load(std::memory_order_acquire); }
    const RingTiming& Timing() const { return timing_; }
    const StationList& List() const { return list_; }

private:
    enum WorkState : int { kNoWork, kQueued, kRunning, kDone };

    void Handle(const FdlFrame& frame);
    void HandleToken(const FdlFrame& frame);
    void AnswerStatus(std::uint8_t asker);
    void ClaimToken();
    void HoldToken();
    void RunQueuedWork();
    bool ForeignFrameWaiting() const;
    int PollGap();
    void PassToken(int target);
    bool SendToken(std::uint8_t to);
    // The wait for the first byte of an answer to a frame the station sent.
    std::uint32_t AnswerWaitMs() const;
    void SawOwnAddress();
    void Duplicate();
    void PauseBeforeFrame() const;
    void EnterRing();
    void FailQueuedWork();

    std::uint32_t Elapsed() const;

    LineHandle line_;
    RingSettings settings_;
    RingTiming timing_;
    std::int32_t number_;
    std::uint32_t baud_;
    std::uint8_t own_;
    StationList list_;

    bool inRing_ = false;
    bool holding_ = false;
    bool duplicate_ = false;
    bool ownAddressSeen_ = false;
    std::uint64_t ownAddressSeenMs_ = 0;
    int repeatFrom_ = kNoStation;       // a non-predecessor that passed the token once
    std::uint64_t startMs_;
    std::uint64_t lastActivityMs_;
    // Gap polling: a round every GAP visits, one address per visit.
    std::uint32_t visitsSinceRound_;
    bool roundActive_ = false;
    int nextGapAddress_ = kNoStation;

    std::atomic<bool> stopping_{false};
    std::atomic<RingState> state_{RingState::kJoining};
    // Milliseconds since the station started by which it has to be in the ring.
    std::atomic<std::uint32_t> joinDeadline_;
    std::atomic<int> workState_{kNoWork};
    TokenVisitWork work_{};
    int workResult_ = 0;
};

}  // namespace plclink
