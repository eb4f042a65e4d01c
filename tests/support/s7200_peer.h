// A scripted S7-200 station for the unit tests. It listens on the scripted
// line through the platform's onWrite hook and answers the driver's frames
// the way a controller does: SC to a request, the SD2 response to the poll.
// Each request can instead be met with one of the failures a line shows.
//
// Also: DriverSide, an instance with an open scripted line, a tag record and
// a host buffer, wired into one call block.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "entry/vpi_instance.h"
#include "platform/scripted_platform.h"
#include "plclink/vpi.h"

namespace plclink::testing {

using Bytes = std::vector<std::uint8_t>;

// The SD2 response frame of `station` to the master with an S7 ack-data
// header and the given parameter and data blocks.
Bytes ResponseFrame(std::uint8_t station, const Bytes& params, const Bytes& data);

class S7200Peer {
public:
    enum class Answer {
        kNormal,      // SC, then the response to the poll
        kDirect,      // the response at once, without SC
        kSilent,      // nothing
        kToken,       // SD4: the token is passed
        kRefuse,      // SC, then a response with access_result `refusal`
        kCorruptFcs,  // SC, then the response with its FCS off by one
        kGarbage,     // one byte 0x00
        kMismatch,    // SC, then the answer to another kind of request
        kLate,        // SC, then the answer to the request before
    };

    S7200Peer(ScriptedPlatform& platform, std::uint8_t station);
    ~S7200Peer();

    // How the next requests are met, in order; afterwards `otherwise`.
    void next(std::initializer_list<Answer> answers);
    Answer otherwise = Answer::kNormal;
    std::uint8_t refusal = 0x0A;
    std::uint64_t answerDelayMs = 0;
    // Polls of each request answered with SC (not ready yet) before the
    // response is handed out, as a station busy with its scan does.
    int busyPolls = 0;

    // Memory of the areas 'I', 'Q', 'M', 'V', 1024 bytes each.
    Bytes& area(char letter) { return memory_[letter]; }

    // What the station saw.
    std::vector<Bytes> requests;  // every SD2 frame addressed to it
    int polls = 0;
    int associations = 0;

private:
    void onFrame(ScriptedPlatform& platform, const Bytes& frame);
    Bytes respond(const Bytes& request);
    Bytes readResponse(const Bytes& request);
    Bytes writeResponse(const Bytes& request);
    std::uint8_t* at(std::uint8_t areaCode, std::uint32_t byteAddress, std::size_t size);

    ScriptedPlatform& platform_;
    std::uint8_t station_;
    std::deque<Answer> script_;
    Bytes pending_;  // the response that awaits the poll
    Bytes previous_;  // the response to the request before
    int busyLeft_ = 0;
    std::map<char, Bytes> memory_;
};

// An instance with an open scripted line (read time-out 1000 ms), a tag
// record at station 2 and a zeroed host buffer, wired into `block`.
struct DriverSide {
    explicit DriverSide(ScriptedPlatform& platform, std::int32_t instanceNumber = 1);

    // Sets the tag fields as a parse leaves them: `index` in element units.
    void tag(char area, std::uint8_t bits, std::int32_t index, std::uint32_t bit = VPI_NO_BIT);

    VpiInstance instance{};
    TagAccessRecord record{};
    std::uint8_t buffer[256]{};
    VpiCallBlock block{};
    LineHandle line = kNoLine;
};

}  // namespace plclink::testing
