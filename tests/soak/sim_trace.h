// What ppi-sim did with each request, read from its frame trace: every
// "rx 68 ..." line is a request (association, read or write by its FC and
// S7 function) and the "-- ..." note after it says how the station reacted,
// with the fault it injected, if any.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace plclink::soak {

enum class Job { Association, Read, Write, Other };
enum class Fault { None, Silent, Token, Garbage, Truncate, BadFcs, Refuse, Mismatch, Late, Flood, Trickle, NoResource, Busy };

const char* NameOf(Fault fault);
const char* NameOf(Job job);

struct SimRequest {
    Job job = Job::Other;
    Fault fault = Fault::None;
    bool executed = false;  // the station carried out the job (even if its answer was spoilt)
    std::size_t valueBytes = 0;  // a read's or write's value bytes, by its item
    // Late: the job whose answer stood in ("read V100.0 ts04 x1", maybe with
    // ", refused"); empty when there was none.
    std::string lateAnswerOf;
    std::string note;
};

// A read or write as the simulator describes it: "read V100.0 ts04 x1",
// with ", refused" when its answer refused the access.
struct JobText {
    Job job = Job::Other;
    char area = 0;
    unsigned byteAddress = 0;
    unsigned elementBytes = 0;
    unsigned count = 0;
    bool refused = false;
    std::size_t valueBytes() const { return std::size_t{elementBytes} * count; }
};
// Nothing when `text` is not a read or write (a set-up, an unusable job).
std::optional<JobText> ParseJobText(const std::string& text);

class SimTrace {
public:
    explicit SimTrace(const std::string& path);
    ~SimTrace();
    SimTrace(const SimTrace&) = delete;
    SimTrace& operator=(const SimTrace&) = delete;

    // The requests traced since the last call.
    std::vector<SimRequest> take();
    // What the bus and its simulated masters did since the last call
    // ("master 3: goes silent (fault)", "collision: ...", "token 1 -> 0"),
    // gathered by take(); only on a bus with simulated masters.
    std::vector<std::string> takeRingEvents();

private:
    void line(const std::string& text);

    std::FILE* file_ = nullptr;
    std::string partial_;
    std::vector<SimRequest> requests_;
    std::vector<std::string> ringEvents_;
    bool awaitingNote_ = false;
};

}  // namespace plclink::soak
