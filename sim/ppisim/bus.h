// The simulated controllers on one line. Each frame that a master puts on
// the line is shown to the bus; a station it addresses reacts as an S7-200
// does: a request (SD2, send-and-request-data) is acknowledged with SC while
// its answer is prepared, and the poll that follows (SD1) fetches the answer
// as an SD2 response frame. Frames to addresses that no station serves, and
// anything that is not a request or a poll, get no reaction.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "ppisim/fault.h"
#include "ppisim/frame.h"
#include "ppisim/station.h"

namespace ppisim {

struct Reply {
    Bytes bytes;               // empty = stay silent
    std::uint32_t delayMs = 0; // wait this long before sending
    std::string note;          // what happened, for the trace
};

class Bus {
public:
    explicit Bus(FaultPlan faults = {}) : faults_(std::move(faults)) {}

    // Adds a station; false when the address is taken or not 1..126.
    bool addStation(std::uint8_t address, const AreaSizes& sizes);
    Station* station(std::uint8_t address);
    std::map<std::uint8_t, Station>& stations() { return stations_; }

    // The reaction to a frame seen on the line, or nothing.
    std::optional<Reply> onFrame(const Frame& frame);

private:
    Reply onRequest(Station& station, const Frame& frame);
    Reply onPoll(Station& station);
    Bytes garbage(std::size_t length);

    FaultPlan faults_;
    std::map<std::uint8_t, Station> stations_;
    std::map<std::uint8_t, Bytes> pending_;  // prepared response per station
};

}  // namespace ppisim
