// A half-duplex PPI line shared by the simulated CPU stations, the simulated
// masters (--master) and an outside master on the port: one frame at a time.
//
// The line: a frame that starts while another is still on it is a
// collision, and both are lost (nobody reacts to either; the bytes sent so
// far reach the port, the rest does not). An outside master's frame that
// starts less than the bus idle time (33 bit times) after the previous
// frame ended is counted as a bus idle violation and served all the same.
// A request or token from the outside master while the token is held by, or
// was passed to, another station is out of turn: it is lost, and so is the
// next frame a simulated station sends within a slot time (it collides
// with it). A claim (a
// token to itself) after its lost-token time of silence is in turn.
//
// The CPU stations answer after the bus idle time; while one still serves a
// job of one master it answers another master's job with "no resource".
//
// Time is the caller's: advance() runs the line up to a moment, and
// outsideFrame() tells it of a frame from the port, so that the same model
// runs on the real clock behind a pseudo-terminal and on a virtual clock in
// tests.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ppisim/bus.h"
#include "ppisim/bus_params.h"
#include "ppisim/sim_master.h"
#include "ppisim/trace.h"

namespace ppisim {

struct LineTotals {
    std::uint64_t frames = 0;
    std::uint64_t collisions = 0;
    std::uint64_t outOfTurn = 0;
    std::uint64_t idleViolations = 0;
};

class TokenBus {
public:
    TokenBus(Bus& stations, const BusParams& params, Trace& trace, std::uint32_t seed = 1);

    // Adds a simulated master; false, with the reason, when its address is
    // taken (unless it is to duplicate it) or above HSA, or its CPU station
    // is not simulated.
    bool addMaster(const MasterConfig& config, std::string* why);
    const std::vector<std::unique_ptr<SimMaster>>& masters() const { return masters_; }

    // Runs the line up to `nowUs`.
    void advance(std::int64_t nowUs);
    // When something next happens on the line by itself (kNeverUs: nothing).
    std::int64_t nextEventUs() const;
    // The outside master's frame whose first byte arrived at `startUs` (not
    // before the last advance()).
    void outsideFrame(const Frame& frame, std::int64_t startUs);
    // The bytes the simulator has put on the line by `nowUs`, not taken
    // before; each leaves when its stop bit has gone out.
    Bytes takeBytes(std::int64_t nowUs);

    const LineTotals& totals() const { return totals_; }
    // Who holds the token or was last passed it, as the line shows.
    std::optional<std::uint8_t> holder() const { return holder_; }
    // The list of active stations the tokens on the line show.
    const std::set<std::uint8_t>& ring() const { return ring_; }
    // One machine-readable line per master, then the line's totals.
    std::vector<std::string> summary() const;

private:
    static constexpr int kOutside = -1;
    static constexpr int kStation = -2;

    struct Transmission {
        int sender = kOutside;  // master index, kStation or kOutside
        std::uint8_t address = 0;
        Bytes bytes;
        std::optional<Frame> frame;  // the outside master's, as received
        std::int64_t startUs = 0;
        std::int64_t endUs = 0;
        bool lost = false;
        std::uint64_t id = 0;
    };
    struct StationReply {
        std::uint8_t address = 0;
        Bytes bytes;
        std::int64_t atUs = 0;
    };

    void start(Transmission tx);
    void finish(const Transmission& tx);
    void collide(Transmission& other, const Transmission& tx, std::int64_t atUs);
    void observe(const Frame& frame, std::int64_t endUs);
    void serveStations(const Frame& frame, std::int64_t endUs);
    bool outOfTurn(const Frame& frame, std::int64_t startUs) const;
    std::string describe(const Transmission& tx) const;
    std::int64_t stationDueUs() const;

    Bus& stations_;
    BusParams params_;
    Trace& trace_;
    std::uint32_t seed_;
    std::vector<std::unique_ptr<SimMaster>> masters_;

    std::int64_t nowUs_ = 0;
    std::vector<Transmission> onAir_;  // what is on the line now
    std::int64_t lastEndUs_ = -1;
    std::int64_t spoilUntilUs_ = -1;  // the next simulated frame that starts by then collides
    std::uint64_t nextId_ = 0;
    std::deque<StationReply> stationReplies_;
    struct OutByte {
        std::int64_t dueUs;
        std::uint8_t byte;
        std::uint64_t id;
    };
    std::deque<OutByte> out_;

    std::optional<std::uint8_t> holder_;

    std::optional<std::uint8_t> lastPasser_;  // the sender of the last token heard
    std::set<std::uint8_t> ring_;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> statusAsked_;  // (asker, asked)
    LineTotals totals_;
};

}  // namespace ppisim
