// The host's log as this tool keeps it: every line the module writes through
// err() is captured for the running command (so failures can be explained
// with the module's own words) and passed on to a sink: a file, standard
// error when the user asks to see every line (held back while a live view
// owns the terminal), or none. Without a sink a line reaches the user only
// with the failure it explains.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace plclink::host {

struct LogLine {
    int category;
    std::string text;
    std::chrono::system_clock::time_point time;
};

class HostLog {
public:
    static HostLog& Instance();

    // Called for every line of the module.
    void record(int category, std::string text);

    // Lines from now on also go to `path` (appended). False and `why` when
    // the file cannot be opened.
    bool sendToFile(const std::string& path, std::string& why);
    // Every line to standard error as it is written (when no file is set).
    void setVerbose(bool verbose) { verbose_ = verbose; }
    bool sendsToStderr() const { return file_ == nullptr && verbose_; }

    // While held, every line is kept (and still written to the file), not
    // shown on standard error; takeHeld hands them over.
    void hold(bool held) { held_ = held; }
    std::vector<LogLine> takeHeld();

    // The lines recorded since the last startCapture.
    void startCapture() { captured_.clear(); }
    const std::vector<LogLine>& captured() const { return captured_; }

    // Client registrations of KorMkClient.
    unsigned char nextClientId();
    unsigned short hostVersion() const { return 820; }

    ~HostLog();

private:
    HostLog() = default;
    std::FILE* file_ = nullptr;
    bool verbose_ = false;
    bool held_ = false;
    std::vector<LogLine> heldLines_;
    std::vector<LogLine> captured_;
    unsigned char clientId_ = 0;
};

// One line as shown on standard error and in the log file.
std::string ScreenText(const LogLine& line);
std::string FileText(const LogLine& line);

}  // namespace plclink::host
