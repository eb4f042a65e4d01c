// The Linux platform: real time, the build's version, termios serial ports
// (linux_serial.cpp), TCP lines (linux_tcp.cpp) and the terminal dialog (linux_dialog.cpp).
#include <time.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/linux_parts.h"
#include "platform/linux/module_version.h"

namespace plclink {
namespace {

void SleepMs(std::uint32_t milliseconds) {
    timespec rest{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

std::uint64_t MonotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u;
}

// The version information of the module file is the build's version: a
// fixed block of the two 32-bit halves of the file version.
struct VersionBlock {
    std::uint32_t versionMs;
    std::uint32_t versionLs;
};

std::uint32_t FileVersionInfoSize(const char*) { return sizeof(VersionBlock); }

bool FileVersionInfo(const char*, std::uint32_t size, void* data) {
    if (size < sizeof(VersionBlock) || data == nullptr) return false;
    const VersionBlock block{kModuleVersionMs, kModuleVersionLs};
    std::memcpy(data, &block, sizeof block);
    return true;
}

bool QueryFileVersion(const void* data, std::uint32_t* versionMs, std::uint32_t* versionLs,
                      std::uint32_t* infoLength) {
    VersionBlock block;
    std::memcpy(&block, data, sizeof block);
    *versionMs = block.versionMs;
    *versionLs = block.versionLs;
    *infoLength = sizeof block;
    return true;
}

PlatformOps MakeLinuxPlatform() {
    PlatformOps ops{};
    ops.sleepMs = SleepMs;
    ops.monotonicMs = MonotonicMs;
    ops.fileVersionInfoSize = FileVersionInfoSize;
    ops.fileVersionInfo = FileVersionInfo;
    ops.queryFileVersion = QueryFileVersion;
    linux_platform::FillLineOps(ops);
    linux_platform::FillThreadOps(ops);
    linux_platform::FillDialogOps(ops);
    return ops;
}

}  // namespace

const PlatformOps& NativePlatform() {
    static const PlatformOps ops = MakeLinuxPlatform();
    return ops;
}

}  // namespace plclink
