// An S7-200 controller on the scripted platform's serial line: it answers
// association, read and write requests the way a controller does (SC, then
// the response SD2 frame after the poll) and keeps its I, Q, M and V memory.
// Fuzzers, benchmarks and tests use it where a well-behaved station is
// needed; it also checks every frame the driver sends.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/scripted_platform.h"

namespace plclink::kit {

// What a request frame asked for, as the controller decoded it.
struct S7Request {
    std::uint8_t fc = 0;          // FDL function code
    std::uint8_t function = 0;    // 0xF0 association, 0x04 read, 0x05 write
    std::uint8_t transport = 0;   // transport size of the item
    std::uint16_t count = 0;      // number of elements
    std::uint16_t block = 0;      // data block number
    std::uint8_t area = 0;        // area code 0x81..0x84
    std::uint32_t bitAddress = 0; // 24-bit bit address
    std::vector<std::uint8_t> values;  // the values of a write
};

// True when `frame` is a complete SD2 frame (lengths, FCS, end byte) or a
// complete SD1 frame.
bool WellFormedFrame(const std::uint8_t* frame, std::size_t length);

// Sum of the bytes, modulo 256.
std::uint8_t Fcs(const std::uint8_t* bytes, std::size_t count);

class S7Peer {
public:
    static constexpr std::size_t kAreaSize = 10240;

    S7Peer(ScriptedPlatform& line, std::uint8_t station);
    ~S7Peer();
    S7Peer(const S7Peer&) = delete;
    S7Peer& operator=(const S7Peer&) = delete;

    // Memory of an area by its letter 'I', 'Q', 'M' or 'V'.
    std::vector<std::uint8_t>& area(char letter);

    // Behaviour.
    bool silent = false;              // answers nothing
    std::uint8_t accessResult = 0xFF; // anything else refuses every read/write
    std::uint64_t answerDelayMs = 0;  // delay of the SC and of the response

    // What happened.
    unsigned requests = 0, polls = 0, associations = 0;
    unsigned malformed = 0;           // frames sent by the driver that were not well formed
    S7Request last;                   // the last read or write request

private:
    void onFrame(const std::vector<std::uint8_t>& frame);
    void answerRequest(const std::uint8_t* frame, std::size_t length);
    std::vector<std::uint8_t> readResponse(const S7Request& r);
    std::vector<std::uint8_t> writeResponse(const S7Request& r);
    std::vector<std::uint8_t>* memoryOf(std::uint8_t areaCode);
    std::vector<std::uint8_t> frameOf(const std::vector<std::uint8_t>& s7);

    ScriptedPlatform& line_;
    std::uint8_t station_;
    std::array<std::vector<std::uint8_t>, 4> memory_;
    std::vector<std::uint8_t> pending_;
};

}  // namespace plclink::kit
