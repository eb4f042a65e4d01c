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
        requests_.push_back(r);
        awaitingNote_ = true;
        return;
    }
    if (body.rfind("-- ", 0) != 0 || !awaitingNote_) return;
    const std::string note = body.substr(3);
    if (note.find("byte(s) of noise skipped") != std::string::npos) return;
    SimRequest& r = requests_.back();
    r.note = note;
    awaitingNote_ = false;
    if (note == "fault silent") r.fault = Fault::Silent;
    else if (note == "fault token") r.fault = Fault::Token;
    else if (note == "fault garbage") r.fault = Fault::Garbage;
    else if (note.rfind("station ", 0) == 0) {
        r.executed = true;
        if (note.find("; fault badfcs") != std::string::npos) r.fault = Fault::BadFcs;
        else if (note.find("; fault truncate") != std::string::npos) r.fault = Fault::Truncate;
        else if (note.find("; fault refuse") != std::string::npos) {
            r.fault = Fault::Refuse;
            r.executed = false;
        }
    }
}

}  // namespace plclink::soak
