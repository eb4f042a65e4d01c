#include "host_log.h"

#include "printable_text.h"
#include "time_text.h"

namespace plclink::host {

HostLog& HostLog::Instance() {
    static HostLog log;
    return log;
}

HostLog::~HostLog() {
    if (file_ != nullptr) std::fclose(file_);
}

void HostLog::record(int category, std::string text) {
    LogLine line{category, std::move(text), std::chrono::system_clock::now()};
    if (file_ != nullptr) {
        std::fprintf(file_, "%s\n", FileText(line).c_str());
        std::fflush(file_);
    }
    if (held_) {
        heldLines_.push_back(line);
    } else if (sendsToStderr()) {
        std::fprintf(stderr, "%s\n", PrintableText(ScreenText(line)).c_str());
    }
    captured_.push_back(std::move(line));
}

bool HostLog::sendToFile(const std::string& path, std::string& why) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        why = "cannot open the log file " + path;
        return false;
    }
    if (file_ != nullptr) std::fclose(file_);
    file_ = file;
    return true;
}

std::vector<LogLine> HostLog::takeHeld() {
    std::vector<LogLine> lines;
    lines.swap(heldLines_);
    return lines;
}

unsigned char HostLog::nextClientId() {
    clientId_ = static_cast<unsigned char>(clientId_ == 254 ? 1 : clientId_ + 1);
    return clientId_;
}

std::string ScreenText(const LogLine& line) {
    return (line.category == 0 ? "module trace: " : "module log: ") + line.text;
}

std::string FileText(const LogLine& line) {
    return LocalTimeText(line.time, true) + " [" + std::to_string(line.category) + "] " + line.text;
}

}  // namespace plclink::host
