#include "quiet_host.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "plclink/korvan.h"

namespace plclink::kit {

QuietLog& Log() {
    static QuietLog log;
    return log;
}

namespace {
bool Echo() {
    static const bool echo = std::getenv("PLCLINK_KIT_LOG") != nullptr;
    return echo;
}
}  // namespace

}  // namespace plclink::kit

extern "C" int err(int category, const char* format, ...) {
    auto& log = plclink::kit::Log();
    char* line = log.recent[log.lines % plclink::kit::QuietLog::kKept];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, plclink::kit::QuietLog::kWidth, format, args);
    va_end(args);
    ++log.lines;
    if (plclink::kit::Echo()) std::fprintf(stderr, "[%d] %s\n", category, line);
    return 0;
}

extern "C" unsigned short KorMkClient(const char*, int, int, unsigned char* clientIdOut) {
    *clientIdOut = 7;
    return 0;
}

extern "C" int KorGetKorvanVer(unsigned char, unsigned short* version, char*) {
    *version = 820;
    return 0;
}

extern "C" void KorRmClient(unsigned char) {}
