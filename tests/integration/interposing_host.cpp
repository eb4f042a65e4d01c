// A host that defines the four host library functions itself and exports
// them from its executable. It loads plclink.so with dlopen; the module's
// references must bind to these definitions (ahead of the stand-in library
// the module names as its dependency, and of the C library's err(3)), so
// every log line and registration of the module arrives here.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "module_session.h"
#include "plclink/korvan.h"

namespace {

std::vector<binding::LogLine> received;
std::vector<std::string> registeredNames;
unsigned char nextClientId = 40;

}  // namespace

extern "C" {

KORVAN_API int err(int category, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    received.push_back({category, text});
    return 0;
}

KORVAN_API unsigned short KorMkClient(const char* clientName, int a, int b,
                                      unsigned char* clientIdOut) {
    registeredNames.push_back(std::string(clientName) + "/" + std::to_string(a) + "/" +
                              std::to_string(b));
    *clientIdOut = nextClientId++;
    return 0;
}

KORVAN_API int KorGetKorvanVer(unsigned char, unsigned short* version, char*) {
    *version = 820;
    return 0;
}

KORVAN_API void KorRmClient(unsigned char) {}

}  // extern "C"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: %s PLCLINK_MODULE\n", argv[0]);
        return 2;
    }
    const binding::Module module = binding::LoadModule(argv[1]);
    int failures = binding::RunSession(module.vpiMain);

    for (const binding::LogLine& line : received) {
        std::printf("host log [%d] %s\n", line.category, line.text.c_str());
    }
    failures += binding::ExpectSessionLines(received);
    failures += binding::Expect(registeredNames == std::vector<std::string>{"KORCLIENT01/1/0"},
                                "ColdStart registers KORCLIENT01 with the host");
    std::printf("%s\n", failures == 0 ? "PASS" : "FAIL");
    return failures == 0 ? 0 : 1;
}
