// The simulated controllers on one line. Each frame that a master puts on
// the line is shown to the bus; a station it addresses reacts as an S7-200
// does: a request (SD2, send-and-request-data) is acknowledged with SC while
// its answer is prepared, and the poll that follows (SD1) fetches the answer
// as an SD2 response frame. Frames to addresses that no station serves, and
// anything that is not a request or a poll, get no reaction. An FDL status
// request is answered as a slave does (FC 0x00). A CPU has one
// communication resource: a job that arrives while the station still holds
// another master's answer (not yet fetched, for up to kServeHoldUs) is
// answered at once with "no resource".
//
// A station may be given a scan time: its answer is then ready only that
// long after the request arrived, as on a CPU whose cycle reaches the
// communication step only once per scan, and a poll before then is answered
// with SC (not ready yet) while the answer stays pending.
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
    // Send the bytes one at a time, each this long after the one before
    // (the first this long after the frame answered); 0 = all at once.
    std::uint32_t trickleMs = 0;
    // Stream noise (Bus::noise) at the line's speed: for floodMs, or without
    // end when floodMs is 0.
    bool flood = false;
    std::uint32_t floodMs = 0;
    // End the master's connection once the bytes are sent.
    bool hangUp = false;
};

// How long a station keeps an answer for its master before another
// master's job may take the resource.
inline constexpr std::int64_t kServeHoldUs = 500000;

class Bus {
public:
    explicit Bus(FaultPlan faults = {}) : faults_(std::move(faults)) {}

    // Adds a station offering `pduSize`; false when the address is taken or
    // not 1..126.
    bool addStation(std::uint8_t address, const AreaSizes& sizes, std::uint16_t pduSize = kPduSize);
    Station* station(std::uint8_t address);
    // Makes the answers of station `address` ready `ms` after their request
    // (0, the default, = at once).
    void setScanTime(std::uint8_t address, std::uint32_t ms);
    std::map<std::uint8_t, Station>& stations() { return stations_; }

    // The reaction to a frame seen on the line at `nowUs` (microseconds on
    // any steady clock), or nothing.
    std::optional<Reply> onFrame(const Frame& frame, std::int64_t nowUs = 0);

    // `length` bytes of line noise; none of them starts a frame.
    Bytes noise(std::size_t length);

private:
    // A prepared response and the time from which a poll may fetch it.
    struct Pending {
        Bytes response;
        std::int64_t readyAtUs = 0;
        std::uint8_t master = 0;     // the master whose job it answers
        std::int64_t sinceUs = 0;    // when that job arrived
    };

    // The "no resource" answer of a station still serving another master's
    // job, or nothing.
    std::optional<Reply> busyWithAnother(const Station& station, const Frame& frame, std::int64_t nowUs) const;

    Reply onRequest(Station& station, const Frame& frame, std::int64_t nowUs);
    Reply onPoll(Station& station, std::int64_t nowUs);
    Bytes garbage(std::size_t length, bool anyFrameStart);
    // The response `fault` makes of the station's answer to `frame`.
    Bytes spoilt(Station& station, const Frame& frame, const FaultDecision& fault, Bytes answer,
                 std::string& note);

    FaultPlan faults_;
    std::map<std::uint8_t, Station> stations_;
    std::map<std::uint8_t, Pending> pending_;  // prepared response per station
    std::map<std::uint8_t, std::uint32_t> scanMs_;
    // Each station's last answer as it prepared it (before any fault but a
    // refusal spoilt it), and the job it answers, for the trace.
    struct Answer {
        Bytes frame;
        std::string job;
    };
    std::map<std::uint8_t, Answer> answered_;
    std::map<std::uint8_t, std::uint32_t> trickled_;  // pending responses to send byte by byte
    std::map<std::uint8_t, bool> busy_;  // stations answering every poll with SC
    std::map<std::uint8_t, bool> dropping_;  // pending responses after which the connection ends
};

}  // namespace ppisim
