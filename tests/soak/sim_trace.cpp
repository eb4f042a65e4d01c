#include "sim_trace.h"

#include <cstdlib>
#include <sstream>

namespace plclink::soak {

const char* NameOf(Fault fault) {
    switch (fault) {
        case Fault::None: return "none";
        case Fault::Silent: return "silent";
        case Fault::Token: return "token";
        case Fault::Garbage: return "garbage";
        case Fault::Truncate: return "truncate";
        case Fault::BadFcs: return "badfcs";
        case Fault::Refuse: return "refuse";
        case Fault::Mismatch: return "mismatch";
        case Fault::Late: return "late";
        case Fault::Flood: return "flood";
        case Fault::Trickle: return "trickle";
        case Fault::NoResource: return "noresource";
        case Fault::Busy: return "busy";
    }
    return "?";
}

const char* NameOf(Job job) {
    switch (job) {
        case Job::Association: return "association";
        case Job::Read: return "read";
        case Job::Write: return "write";
        case Job::Other: return "other";
    }
    return "?";
}

std::optional<JobText> ParseJobText(const std::string& text) {
    JobText out;
    char verb[8] = {};
    unsigned bit = 0, transport = 0;
    if (std::sscanf(text.c_str(), "%7s %c%u.%u ts%x x%u", verb, &out.area, &out.byteAddress, &bit, &transport,
                    &out.count) != 6)
        return std::nullopt;
    const std::string v = verb;
    if (v != "read" && v != "write") return std::nullopt;
    out.job = v == "read" ? Job::Read : Job::Write;
    out.elementBytes = transport == 0x06 ? 4 : transport == 0x04 ? 2 : 1;
    out.refused = text.find(", refused") != std::string::npos;
    return out;
}

SimTrace::SimTrace(const std::string& path) : file_(std::fopen(path.c_str(), "r")) {}

SimTrace::~SimTrace() {
    if (file_) std::fclose(file_);
}

std::vector<SimRequest> SimTrace::take() {
    if (file_) {
        char buffer[4096];
        std::clearerr(file_);
        while (std::fgets(buffer, sizeof buffer, file_)) {
            partial_ += buffer;
            if (!partial_.empty() && partial_.back() == '\n') {
                partial_.pop_back();
                line(partial_);
                partial_.clear();
            }
        }
    }
    std::vector<SimRequest> out;
    out.swap(requests_);
    return out;
}

std::vector<std::string> SimTrace::takeRingEvents() {
    std::vector<std::string> out;
    out.swap(ringEvents_);
    return out;
}

namespace {

// A note of the bus or of a simulated master, not of the station's answer.
bool IsRingEvent(const std::string& note) {
    for (const char* start : {"master ", "token ", "ring: ", "status ", "collision", "out of turn", "bus idle"})
        if (note.rfind(start, 0) == 0) return true;
    return false;
}

}  // namespace

// "[    1.234567] rx 68 1B 1B 68 02 00 7C ..." or "[    1.234901] -- note"
void SimTrace::line(const std::string& text) {
    const auto close = text.find("] ");
    if (close == std::string::npos) return;
    const std::string body = text.substr(close + 2);
    if (body.rfind("rx ", 0) == 0) {
        std::istringstream hex(body.substr(3));
        std::vector<unsigned> bytes;
        std::string word;
        while (hex >> word) bytes.push_back(static_cast<unsigned>(std::strtoul(word.c_str(), nullptr, 16)));
        awaitingNote_ = false;
        if (bytes.size() < 7 || bytes[0] != 0x68) return;  // polls and short frames
        SimRequest r;
        if (bytes[6] == 0x6C) r.job = Job::Association;
        else if (bytes.size() > 17 && bytes[17] == 0x04) r.job = Job::Read;
        else if (bytes.size() > 17 && bytes[17] == 0x05) r.job = Job::Write;
        if (r.job != Job::Association && bytes.size() > 24) {
            const unsigned transport = bytes[22];
            const unsigned size = transport == 0x06 ? 4 : transport == 0x04 ? 2 : 1;
            r.valueBytes = size * (bytes[23] << 8 | bytes[24]);
        }
        requests_.push_back(r);
        awaitingNote_ = true;
        return;
    }
    if (body.rfind("-- ", 0) != 0) return;
    const std::string note = body.substr(3);
    if (IsRingEvent(note)) {
        ringEvents_.push_back(note);
        return;
    }
    if (!awaitingNote_) return;
    if (note.find("byte(s) of noise skipped") != std::string::npos) return;
    SimRequest& r = requests_.back();
    r.note = note;
    awaitingNote_ = false;
    if (note == "fault silent") r.fault = Fault::Silent;
    else if (note == "fault token") r.fault = Fault::Token;
    else if (note == "fault garbage") r.fault = Fault::Garbage;
    else if (note == "fault flood") r.fault = Fault::Flood;
    else if (note.find("; fault noresource") != std::string::npos) r.fault = Fault::NoResource;
    else if (note.find("; fault busy") != std::string::npos) r.fault = Fault::Busy;
    else if (note.rfind("station ", 0) == 0) {
        r.executed = true;
        // First: a late answer names the earlier job, with its own faults.
        const std::string late = "; fault late (answer of: ";
        if (const auto at = note.find(late); at != std::string::npos) {
            r.fault = Fault::Late;
            r.lateAnswerOf = note.substr(at + late.size());
            if (!r.lateAnswerOf.empty() && r.lateAnswerOf.back() == ')') r.lateAnswerOf.pop_back();
        } else if (note.find("; fault late") != std::string::npos) r.fault = Fault::Late;
        else if (note.find("; fault mismatch") != std::string::npos) r.fault = Fault::Mismatch;
        else if (note.find("; fault trickle") != std::string::npos) r.fault = Fault::Trickle;
        else if (note.find("; fault badfcs") != std::string::npos) r.fault = Fault::BadFcs;
        else if (note.find("; fault truncate") != std::string::npos) r.fault = Fault::Truncate;
        else if (note.find("; fault refuse") != std::string::npos) {
            r.fault = Fault::Refuse;
            r.executed = false;
        }
    }
}

}  // namespace plclink::soak
