// Shows the Tag Format dialog of a plclink module through VpiMain command 16
// on this terminal and writes the outcome to a file:
//   tag_format_probe MODULE RESULT-FILE [HOST-LOG]
// The file gets one line, "result=N gas=TEXT", TEXT being what the host's
// buffer holds afterwards ("(unchanged)" left in it before the call).
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "korvan_standin.h"
#include "plclink/vpi.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MODULE RESULT-FILE [HOST-LOG]\n", argv[0]);
        return 2;
    }
    KorStandinLogTo(argc > 3 ? argv[3] : "/dev/null");
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    using Entry = int32_t (*)(VpiCallBlock*);
    auto vpiMain = reinterpret_cast<Entry>(dlsym(module, "VpiMain"));
    if (vpiMain == nullptr) {
        std::fprintf(stderr, "no VpiMain in %s\n", argv[1]);
        return 2;
    }
    char gas[32];
    std::snprintf(gas, sizeof gas, "(unchanged)");
    GateParseRecord record{};
    record.gas = gas;
    VpiCallBlock call{nullptr, VPI_TAG_FORMAT, 1, 0, &record};
    const int32_t result = vpiMain(&call);
    FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) return 2;
    std::fprintf(out, "result=%d gas=%s\n", static_cast<int>(result), gas);
    std::fclose(out);
    return 0;
}
