#include "fake_host.h"

#include <cstdarg>
#include <cstdio>

#include "plclink/korvan.h"

namespace plclink::testing {

FakeHost& Host() {
    static FakeHost host;
    return host;
}

std::vector<std::string> FakeHost::texts() const {
    std::vector<std::string> out;
    for (const LogLine& l : log) out.push_back(l.text);
    return out;
}

}  // namespace plclink::testing

using plclink::testing::Host;

extern "C" int err(int category, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Host().log.push_back({category, text});
    return 0;
}

extern "C" unsigned short KorMkClient(const char* clientName, int, int,
                                      unsigned char* clientIdOut) {
    Host().registeredNames.push_back(clientName);
    if (Host().registrationStatus != 0) return Host().registrationStatus;
    *clientIdOut = Host().nextClientId;
    return 0;
}

extern "C" int KorGetKorvanVer(unsigned char clientId, unsigned short* version, char*) {
    Host().versionQueries.push_back(clientId);
    *version = Host().version;
    return 0;
}

extern "C" void KorRmClient(unsigned char clientId) { Host().removedClients.push_back(clientId); }
