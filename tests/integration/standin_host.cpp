// A host that defines none of the host library functions and links nothing
// but the dynamic loader: the module's references bind to the stand-in
// libkorvan.so that lies beside plclink.so (never to the C library's err(3),
// which would end the process). Its log goes to standard error, or to a
// file chosen through KorStandinLogTo; either way the host reads it back.
//
// Usage: standin_host PLCLINK_MODULE stderr|file LOG_PATH
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <string>
#include <vector>

#include "module_session.h"

namespace {

using LogToFunction = int (*)(const char*);

// A stand-in log line: "<date> <time> [<category>] <text>".
bool ParseLine(const std::string& line, binding::LogLine& out) {
    const std::size_t open = line.find(" [");
    const std::size_t close = line.find("] ", open == std::string::npos ? 0 : open);
    if (open == std::string::npos || close == std::string::npos) return false;
    out.category = std::stoi(line.substr(open + 2, close - open - 2));
    out.text = line.substr(close + 2);
    return true;
}

std::vector<binding::LogLine> ReadLog(const char* path) {
    std::vector<binding::LogLine> lines;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        std::printf("stand-in log: %s\n", text.c_str());
        binding::LogLine line;
        if (ParseLine(text, line)) lines.push_back(line);
    }
    return lines;
}

// Runs the session with standard error sent to `path`.
int RunWithStderrIn(binding::VpiMainFunction vpiMain, const char* path) {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (saved < 0 || file < 0 || dup2(file, STDERR_FILENO) < 0) {
        std::printf("FAIL: cannot send standard error to %s\n", path);
        return 1;
    }
    close(file);
    const int failures = binding::RunSession(vpiMain);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[2], "stderr") != 0 && std::strcmp(argv[2], "file") != 0)) {
        std::printf("usage: %s PLCLINK_MODULE stderr|file LOG_PATH\n", argv[0]);
        return 2;
    }
    const char* logPath = argv[3];
    const binding::Module module = binding::LoadModule(argv[1]);
    int failures = 0;
    if (std::strcmp(argv[2], "file") == 0) {
        std::remove(logPath);
        auto logTo = reinterpret_cast<LogToFunction>(dlsym(module.handle, "KorStandinLogTo"));
        if (logTo == nullptr) {
            std::printf("FAIL: the stand-in library beside the module was not loaded\n");
            return 1;
        }
        failures += binding::Expect(logTo(logPath) == 0, "KorStandinLogTo opens the log file");
        failures += binding::RunSession(module.vpiMain);
        logTo(nullptr);
    } else {
        failures += RunWithStderrIn(module.vpiMain, logPath);
    }
    failures += binding::ExpectSessionLines(ReadLog(logPath));
    std::printf("%s\n", failures == 0 ? "PASS" : "FAIL");
    return failures == 0 ? 0 : 1;
}
