// The module's own file version, read through the platform's version
// information, and the build stamp.
#include "entry/version_line.h"

#include <cstdio>
#include <vector>

#include "core/host_log.h"
#include "platform/platform.h"

namespace plclink {
namespace {

constexpr char kModuleFile[] = "plclink.dll";

}  // namespace

ModuleVersion ReadModuleVersion(const char* nameForLog) {
    const PlatformOps& os = Platform();
    ModuleVersion version{false, {0, 0, 0, 0}};
    const std::uint32_t size = os.fileVersionInfoSize(kModuleFile);
    std::vector<unsigned char> info(size == 0 ? 1 : size);
    if (!os.fileVersionInfo(kModuleFile, size, info.data())) {
        err(kLogCategory, "%.35s: GetFileVersionInfo failed ", nameForLog);
        return version;
    }
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
    std::uint32_t length = 0;
    if (!os.queryFileVersion(info.data(), &ms, &ls, &length)) {
        err(kLogCategory, "%.35s: VerQueryValue failed ", nameForLog);
        return version;
    }
    if (length == 0) {
        err(kLogCategory, "%.35s: VerQueryValue failed , uInfoSize = 0", nameForLog);
        return version;
    }
    version.found = true;
    version.parts[0] = static_cast<std::uint16_t>(ms >> 16);
    version.parts[1] = static_cast<std::uint16_t>(ms);
    version.parts[2] = static_cast<std::uint16_t>(ls >> 16);
    version.parts[3] = static_cast<std::uint16_t>(ls);
    return version;
}

void FormatVersionText(const ModuleVersion& version, char* out, std::size_t room) {
    if (!version.found) {
        std::snprintf(out, room, "Version not found");
        return;
    }
    std::snprintf(out, room, "Version : %d,%d,%d,%d", version.parts[0], version.parts[1],
                  version.parts[2], version.parts[3]);
}

const char* BuildStamp() {
    // __DATE__ is "Mmm dd yyyy" with the day padded by a space, __TIME__ "hh:mm:ss".
    return "version compiled on " __DATE__ " at time " __TIME__;
}

}  // namespace plclink
