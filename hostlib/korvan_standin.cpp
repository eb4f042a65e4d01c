// A stand-in for the host's runtime library: log lines with a time stamp
// and their category to a sink the host chooses, every registration granted
// with a fresh client id, and a version number the host can set.
#define KORVAN_BUILDING 1
#include "korvan_standin.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

FILE* logFile = nullptr;  // nullptr = standard error
KorStandinLineSink lineSink = nullptr;  // when set, takes every line instead
unsigned short hostVersion = 820;
unsigned short refuseStatus = 0;
unsigned char nextClientId = 1;

FILE* Sink() { return logFile != nullptr ? logFile : stderr; }

void WriteStamp(FILE* out) {
    // std::chrono rather than clock_gettime, which MinGW has only through
    // winpthread.
    const auto now = std::chrono::system_clock::now();
    const time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long millis = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    tm local{};
#if defined(_WIN32)
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(out, "%s.%03ld ", text, millis);
}

// The formatted text of one line, for a line sink.
std::string LineText(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    char small[512];
    const int length = std::vsnprintf(small, sizeof small, format, args);
    std::string text;
    if (length < 0) {
        text = format;
    } else if (static_cast<std::size_t>(length) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(length));
    } else {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

}  // namespace

extern "C" {

KORVAN_API int err(int category, const char* format, ...) {
    if (format == nullptr) return 0;
    if (lineSink != nullptr) {
        va_list args;
        va_start(args, format);
        const std::string text = LineText(format, args);
        va_end(args);
        lineSink(category, text.c_str());
        return 0;
    }
    FILE* out = Sink();
    WriteStamp(out);
    std::fprintf(out, "[%d] ", category);
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
    std::fputc('\n', out);
    std::fflush(out);
    return 0;
}

KORVAN_API unsigned short KORVAN_CALL KorMkClient(const char*, int, int, unsigned char* clientIdOut) {
    if (refuseStatus != 0) return refuseStatus;
    if (clientIdOut != nullptr) *clientIdOut = nextClientId;
    nextClientId = static_cast<unsigned char>(nextClientId == 254 ? 1 : nextClientId + 1);
    return 0;
}

KORVAN_API int KORVAN_CALL KorGetKorvanVer(unsigned char, unsigned short* version, char* info100) {
    if (version != nullptr) *version = hostVersion;
    if (info100 != nullptr) std::snprintf(info100, 100, "plclink stand-in host library");
    return 0;
}

KORVAN_API void KORVAN_CALL KorRmClient(unsigned char) {}

KORVAN_API int KorStandinLogTo(const char* path) {
    if (logFile != nullptr) std::fclose(logFile);
    logFile = nullptr;
    if (path == nullptr) return 0;
    logFile = std::fopen(path, "a");
    return logFile != nullptr ? 0 : -1;
}

KORVAN_API void KorStandinSendLinesTo(KorStandinLineSink sink) { lineSink = sink; }

KORVAN_API void KorStandinSetVersion(unsigned short version) { hostVersion = version; }

KORVAN_API void KorStandinRefuse(unsigned short status) { refuseStatus = status; }

}  // extern "C"
