// What ppi-sim did with each request, read from its frame trace: every
// "rx 68 ..." line is a request (association, read or write by its FC and
// S7 function) and the "-- ..." note after it says how the station reacted,
// with the fault it injected, if any.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace plclink::soak {

enum class Job { Association, Read, Write, Other };
enum class Fault { None, Silent, Token, Garbage, Truncate, BadFcs, Refuse };

const char* NameOf(Fault fault);
const char* NameOf(Job job);

struct SimRequest {
    Job job = Job::Other;
    Fault fault = Fault::None;
    bool executed = false;  // the station carried out the job (even if its answer was spoilt)
    std::string note;
};

class SimTrace {
public:
    explicit SimTrace(const std::string& path);
    ~SimTrace();
    SimTrace(const SimTrace&) = delete;
    SimTrace& operator=(const SimTrace&) = delete;

    // The requests traced since the last call.
    std::vector<SimRequest> take();

private:
    void line(const std::string& text);

    std::FILE* file_ = nullptr;
    std::string partial_;
    std::vector<SimRequest> requests_;
    bool awaitingNote_ = false;
};

}  // namespace plclink::soak
