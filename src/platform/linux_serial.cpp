// Serial ports on Linux. Placeholder until the termios layer lands: no port
// can be opened.
#include "platform/linux_parts.h"

namespace plclink::linux_platform {
namespace {
bool OpenPort(const char*, LineHandle*) { return false; }
std::uint32_t LastError() { return 2; }
}  // namespace

void FillSerialOps(PlatformOps& ops) {
    ops.openPort = OpenPort;
    ops.lastError = LastError;
}

}  // namespace plclink::linux_platform
