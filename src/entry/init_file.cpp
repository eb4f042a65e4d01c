#include "entry/init_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/host_log.h"
#include "entry/multimaster_line.h"
#include "entry/tcp_server_line.h"

namespace plclink {
namespace {

constexpr int kLineRoom = 256;  // a line, at most 255 characters
constexpr std::uint32_t kLongestPauseMs = 40;

void ToUpper(char* text) {
    for (char* c = text; *c != '\0'; ++c)
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A line "PAUSE n" (upper-cased already, blanks allowed around the words):
// 1 with `ms` set, 0 when the line is about something else, -1 when it
// starts with PAUSE but gives no number of milliseconds.
int ParsePauseLine(const char* line, std::uint32_t* ms) {
    while (IsBlank(*line)) ++line;
    if (std::strncmp(line, "PAUSE", 5) != 0) return 0;
    line += 5;
    if (*line != ' ' && *line != '\t') return -1;
    while (IsBlank(*line)) ++line;
    if (!std::isdigit(static_cast<unsigned char>(*line))) return -1;
    std::uint32_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*line)); ++line)
        value = std::min<std::uint32_t>(value * 10 + static_cast<std::uint32_t>(*line - '0'), 100000);
    while (IsBlank(*line)) ++line;
    if (*line != '\0') return -1;
    *ms = value;
    return 1;
}

// Calls `take` with each of the lines after the first (at most 255
// characters of each; the rest of a longer line is not a line of its own)
// until it returns true.
template <typename Take>
void ForEachLaterLine(std::FILE* file, Take take) {
    char line[kLineRoom];
    bool atLineStart = true;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        const bool startsLine = atLineStart;
        atLineStart = std::strchr(line, '\n') != nullptr;
        if (startsLine && take(line)) return;
    }
}

// The instance's initialization file, "vpiK7NN.int", opened for reading
// (nullptr when there is none); its name in `fileName`.
std::FILE* OpenInitializationFile(int number, char (&fileName)[32]) {
    std::snprintf(fileName, sizeof fileName, "vpiK7%.2d.int", number);
    return std::fopen(fileName, "r");
}

void SkipRestOfLine(std::FILE* file) {
    for (int c; (c = std::fgetc(file)) != EOF && c != '\n';) {
    }
}

// The lines after the first: the first "PAUSE n" among them sets the pause
// between frames (kept within 1..40 ms here; the line's bus idle time is
// applied when the line is used).
void ReadPauseLine(std::FILE* file, VpiInstance& instance, int number) {
    ForEachLaterLine(file, [&](char* line) {
        ToUpper(line);
        std::uint32_t ms = 0;
        const int found = ParsePauseLine(line, &ms);
        if (found == 0) return false;
        if (found < 0) {
            line[std::strcspn(line, "\r\n")] = '\0';
            err(kLogCategory, "vpiK7%.2d: '%s' ignored, expected PAUSE and milliseconds", number,
                line);
            return false;
        }
        instance.pauseMs = static_cast<std::uint8_t>(std::clamp<std::uint32_t>(ms, 1, kLongestPauseMs));
        return true;
    });
}

}  // namespace

int ReadInitializationFile(VpiInstance& instance, std::uint16_t vpiNumber) {
    const int number = vpiNumber;
    char fileName[32];
    std::FILE* file = OpenInitializationFile(number, fileName);
    if (file == nullptr) {
        err(kLogCategory, "vpiK7%.2d: Initialization file '%s' not found!", number, fileName);
        return 1;
    }
    char line[kLineRoom];
    if (std::fgets(line, sizeof line, file) == nullptr) {
        std::fclose(file);
        return 1;
    }
    const bool firstLineWhole = std::strchr(line, '\n') != nullptr;
    ToUpper(line);
    if (std::strstr(line, "3 DIGITS") != nullptr) {
        err(kLogCategory, "VPIK7%02d: 3 digit PLC address enabled for this VPI", number);
        instance.threeDigitPlc = 1;
    }
    if (!firstLineWhole) SkipRestOfLine(file);
    ReadPauseLine(file, instance, number);
    std::fclose(file);
    return 0;
}

namespace {

// Finds the first later line of the instance's file that `parse` takes
// (it returns 1 for its line, 0 for another line, -1 for its keyword with
// malformed settings, which is logged with `expected` and ignored).
template <typename Parse>
bool FindLaterLine(std::uint16_t vpiNumber, Parse parse, const char* expected) {
    const int number = vpiNumber;
    char fileName[32];
    std::FILE* file = OpenInitializationFile(number, fileName);
    if (file == nullptr) return false;
    char line[kLineRoom];
    bool found = false;
    if (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strchr(line, '\n') == nullptr) SkipRestOfLine(file);
        ForEachLaterLine(file, [&](char* later) {
            const int parsed = parse(later);
            if (parsed < 0) {
                later[std::strcspn(later, "\r\n")] = '\0';
                err(kLogCategory, "vpiK7%.2d: '%s' ignored, expected %s", number, later, expected);
            }
            found = parsed > 0;
            return found;
        });
    }
    std::fclose(file);
    return found;
}

}  // namespace

bool ReadTcpServerLine(std::uint16_t vpiNumber, TcpServer* server) {
    return FindLaterLine(
        vpiNumber, [server](char* later) { return ParseTcpServerLine(later, server); }, "TCP host:port");
}

bool ReadMultiMasterLine(std::uint16_t vpiNumber, RingSettings* settings) {
    return FindLaterLine(
        vpiNumber, [settings](char* later) { return ParseMultiMasterLine(later, settings); },
        "MULTIMASTER [ADDRESS n] [HSA n] [TSL n] [GAP n]");
}

}  // namespace plclink
