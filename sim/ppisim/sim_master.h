// A simulated master on the PPI bus, as a TD 200 or an operator panel is:
// it takes part in token passing (PROFIBUS FDL) and, while it holds the
// token, does one job, a read of a few bytes from a CPU station.
//
// Ring rules: it keeps a list of active stations (LAS) from the tokens it
// hears; it passes the token to its successor and watches for activity
// within the slot time, passing up to three times before it drops that
// station; it polls the addresses of its gap (up to HSA) with FDL status
// requests, one address per token visit, a new sweep every gap-factor
// rotations, and passes the token to a master that answers "ready to enter
// the ring"; it answers status requests itself ("not ready" while listening
// for its first two rotations, then "ready", "in the ring" once in it); it
// claims the token after (6 + 2 x its address) slot times of silence; a
// passed token from a station other than its predecessor is taken at the
// repeated pass only; when another station sends with its address it
// leaves the ring (or does not join) and stays out, silent.
//
// It is driven on any clock: the bus tells it what happens on the line, in
// time order, and asks when it next wants to act (dueUs) and what it sends
// then (tick).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "ppisim/bus_params.h"
#include "ppisim/frame.h"
#include "ppisim/memory.h"

namespace ppisim {

struct MasterConfig {
    std::uint8_t address = 1;
    std::uint8_t station = 0;  // the CPU station it reads (0: the first --station)
    Area area = Area::V;
    std::uint16_t start = 0;
    std::uint16_t length = 4;
    std::uint32_t intervalMs = 0;  // between two jobs; 0 = at every token visit
    // Faults.
    double silentAfterS = 0;  // from then on it sends and answers nothing (0: never)
    bool lateToken = false;   // a passed token is taken only at the second pass
    bool duplicate = false;   // may share its address with another station
    double garble = 0;        // probability that a token it passes comes out as noise
};

struct MasterStats {
    std::uint64_t visits = 0;  // token visits
    std::uint64_t jobsDone = 0;
    std::uint64_t jobsFailed = 0;
    std::uint64_t rotations = 0;  // rotation times measured (visits after the first)
    std::int64_t rotationSumUs = 0;
    std::int64_t rotationMaxUs = 0;
};

// What a station heard when a transmission ended: an intact frame, a lone
// SC, or neither (noise, a collision).
struct Heard {
    std::optional<Frame> frame;
    bool sc = false;
};

// Notes a token passed from `sa` to `da` in a list of active stations on a
// bus of addresses 0..hsa: both are active, the addresses between them are
// not; a token a station passes to itself leaves it alone.
void NoteTokenPass(std::set<std::uint8_t>& las, std::uint8_t sa, std::uint8_t da, unsigned hsa);

class SimMaster {
public:
    using Note = std::function<void(std::int64_t, const std::string&)>;

    SimMaster(const MasterConfig& config, const BusParams& params, Note note, std::uint32_t seed);

    std::uint8_t address() const { return config_.address; }
    const MasterConfig& config() const { return config_; }
    const MasterStats& stats() const { return stats_; }
    bool inRing() const { return inRing_; }
    bool silent() const { return phase_ == Phase::Off; }
    const std::set<std::uint8_t>& activeStations() const { return las_; }

    // Somebody else began to send (a frame or noise).
    void lineBusy(std::int64_t startUs);
    // Somebody else's transmission ended at `endUs`; what it carried.
    void hear(const Heard& heard, std::int64_t endUs);
    // The line fell quiet at `endUs` after its own transmission.
    void ownEnded(std::int64_t endUs);

    // When it next wants to act (kNeverUs: only when the line tells it).
    std::int64_t dueUs() const;
    // Acts at `nowUs` (at or after dueUs): what it sends now, if anything.
    std::optional<Bytes> tick(std::int64_t nowUs);

private:
    enum class Phase {
        Off,            // silent for good
        Listening,      // not in the ring
        InRing,         // in the ring, without the token
        Claiming,       // sending the token to itself
        SelfToken,      // passed the token to itself
        AwaitSc,        // job request sent
        AwaitResponse,  // poll sent
        AwaitStatus,    // status request sent
        Passing,        // token passed, watching for the new holder
    };

    void queue(Bytes frame, std::int64_t atUs, Phase after);
    void takeToken(std::int64_t nowUs);
    void continueTurn(std::int64_t nowUs);
    void passToken(std::int64_t nowUs);
    void onTimeout(std::int64_t nowUs);
    void onTokenHeard(const Frame& token, std::int64_t endUs);
    void onStatusRequest(const Frame& request, std::int64_t endUs);
    void onAnswer(const Heard& heard, std::int64_t endUs);
    void jobFailed(std::int64_t nowUs, const std::string& why);
    void leaveRing(std::int64_t nowUs, const std::string& why);
    void noteLasFrom(std::uint8_t sa, std::uint8_t da);

    std::uint8_t next(std::uint8_t address) const;
    std::uint8_t successor() const;    // next active station after itself
    std::uint8_t predecessor() const;  // active station before itself
    bool inGap(std::uint8_t address) const;
    bool lasValid() const { return rotationsHeard_ >= 2; }
    void say(std::int64_t nowUs, const std::string& text) const;

    MasterConfig config_;
    BusParams params_;
    Note note_;
    std::mt19937 random_;
    MasterStats stats_;

    Phase phase_ = Phase::Listening;
    bool inRing_ = false;
    std::set<std::uint8_t> las_;

    std::optional<Bytes> outbox_;
    std::int64_t sendAtUs_ = kNeverUs;
    Phase afterSend_ = Phase::Listening;
    std::int64_t timeoutUs_ = kNeverUs;

    bool lineBusy_ = false;
    std::int64_t quietSinceUs_ = 0;
    // Its own frame is on the line until then: a half-duplex station hears
    // nothing meanwhile and sends nothing more.
    std::int64_t ownUntilUs_ = 0;

    // The turn in progress.
    std::uint8_t ns_ = 0;
    unsigned passes_ = 0;
    unsigned claims_ = 0;
    bool jobPending_ = false;
    bool gapPending_ = false;
    unsigned pollsLeft_ = 0;
    std::uint8_t polled_ = 0;
    std::uint16_t reference_ = 0;
    std::int64_t lastJobUs_ = 0;
    bool jobsStarted_ = false;
    std::optional<std::int64_t> lastTokenUs_;

    // Gap sweeps.
    bool sweeping_ = false;
    std::uint8_t gapNext_ = 0;
    std::uint64_t sweepVisit_ = 0;
    bool swept_ = false;

    // Listening.
    std::optional<std::uint8_t> anchor_;
    unsigned rotationsHeard_ = 0;
    std::optional<std::uint8_t> readyTold_;  // the holder it told "ready"
    std::optional<std::uint8_t> refusedFrom_;  // sender of a token not taken at its first pass
    // Another station sends with its address: it stays out of the ring.
    bool duplicateHeard_ = false;
};

}  // namespace ppisim
