// The host runtime library's four functions, defined by this executable and
// exported from it, so the module's references bind here and not to the
// stand-in library: every log line of the module reaches HostLog.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "host_glue.h"
#include "host_log.h"
#include "plclink/korvan.h"

using plclink::host::HostLog;

void plclink::host::ConnectHostLibrary() {}

extern "C" {

int err(int category, const char* format, ...) {
    if (format == nullptr) return 0;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[512];
    int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
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
    HostLog::Instance().record(category, std::move(text));
    return 0;
}

unsigned short KorMkClient(const char*, int, int, unsigned char* clientIdOut) {
    if (clientIdOut != nullptr) *clientIdOut = HostLog::Instance().nextClientId();
    return 0;
}

int KorGetKorvanVer(unsigned char, unsigned short* version, char* info100) {
    if (version != nullptr) *version = HostLog::Instance().hostVersion();
    if (info100 != nullptr) std::snprintf(info100, 100, "plclink-host");
    return 0;
}

void KorRmClient(unsigned char) {}

}  // extern "C"
