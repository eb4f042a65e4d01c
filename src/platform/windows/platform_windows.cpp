// The Win32 platform: Sleep, the version resource of a module file, the
// communications API (windows_serial.cpp), Winsock for TCP lines
// (windows_tcp.cpp) and the dialog manager
// (windows_dialog.cpp).
#include <windows.h>
#include <winver.h>

#include "platform/windows/wide_tick_count.h"
#include "platform/windows/windows_parts.h"

namespace plclink {
namespace {

void SleepMs(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

// Milliseconds since Windows started, as 64 bits. GetTickCount64 is not on
// Windows XP, so GetTickCount's 32-bit count, which wraps after 49.7 days,
// is widened; the station's thread reads the clock too.
std::uint64_t MonotonicMs() {
    static windows_platform::WideTickCount clock;
    return clock.Widen(::GetTickCount());
}

std::uint32_t FileVersionInfoSize(const char* fileName) {
    DWORD unused = 0;
    return ::GetFileVersionInfoSizeA(fileName, &unused);
}

bool FileVersionInfo(const char* fileName, std::uint32_t size, void* data) {
    return ::GetFileVersionInfoA(fileName, 0, size, data) != FALSE;
}

// The fixed file information of the root block ("\"). The version fields
// are taken only when the block is long enough to hold them.
bool QueryFileVersion(const void* data, std::uint32_t* versionMs, std::uint32_t* versionLs,
                      std::uint32_t* infoLength) {
    void* block = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data, "\\", &block, &length)) return false;
    *infoLength = length;
    *versionMs = 0;
    *versionLs = 0;
    if (block != nullptr && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
        *versionMs = info->dwFileVersionMS;
        *versionLs = info->dwFileVersionLS;
    }
    return true;
}

PlatformOps MakeWindowsPlatform() {
    PlatformOps ops{};
    ops.sleepMs = SleepMs;
    ops.monotonicMs = MonotonicMs;
    ops.fileVersionInfoSize = FileVersionInfoSize;
    ops.fileVersionInfo = FileVersionInfo;
    ops.queryFileVersion = QueryFileVersion;
    windows_platform::FillLineOps(ops);
    windows_platform::FillThreadOps(ops);
    windows_platform::FillDialogOps(ops);
    return ops;
}

}  // namespace

const PlatformOps& NativePlatform() {
    static const PlatformOps ops = MakeWindowsPlatform();
    return ops;
}

}  // namespace plclink
