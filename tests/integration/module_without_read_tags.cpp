// A driver module as one without the read tags command is: it hands every
// command to the real module (PLCLINK_REAL_MODULE) but answers command 20
// with "not available", so that plclink-host's fallback, block reads, runs
// end to end.
#include <dlfcn.h>

#include "plclink/vpi.h"

namespace {

using VpiMainFunction = int32_t (*)(VpiCallBlock*);

VpiMainFunction RealVpiMain() {
    static const auto entry = [] {
        void* handle = dlopen(PLCLINK_REAL_MODULE, RTLD_NOW | RTLD_LOCAL);
        return handle == nullptr ? nullptr : reinterpret_cast<VpiMainFunction>(dlsym(handle, "VpiMain"));
    }();
    return entry;
}

}  // namespace

extern "C" PLCLINK_EXPORT int32_t VpiMain(VpiCallBlock* callBlock) {
    const VpiMainFunction real = RealVpiMain();
    if (real == nullptr || callBlock == nullptr || callBlock->command == VPI_READ_TAGS) return VPI_UNAVAILABLE;
    return real(callBlock);
}
