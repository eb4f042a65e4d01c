// Threads on Windows: CreateThread and WaitForSingleObject, as Windows XP has
// them.
#include <windows.h>
#include <mmsystem.h>

#include <new>

#include "platform/windows/windows_parts.h"

namespace plclink::windows_platform {
namespace {

struct ThreadStart {
    ThreadBody body;
    void* argument;
};

// Sleep and the port's read time-outs run on the system timer, whose period
// is 15.6 ms by default: longer than a slot time (10.4 ms at 9600 baud).
// While a thread of the driver runs, the period is 1 ms.
constexpr UINT kTimerPeriodMs = 1;

DWORD WINAPI RunThread(LPVOID start) {
    const ThreadStart run = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    const bool fineTimer = ::timeBeginPeriod(kTimerPeriodMs) == TIMERR_NOERROR;
    run.body(run.argument);
    if (fineTimer) ::timeEndPeriod(kTimerPeriodMs);
    return 0;
}

bool StartThread(ThreadBody body, void* argument, ThreadHandle* handleOut) {
    auto* start = new (std::nothrow) ThreadStart{body, argument};
    if (start == nullptr) return false;
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, RunThread, start, 0, &id);
    if (thread == nullptr) {
        delete start;
        return false;
    }
    *handleOut = reinterpret_cast<ThreadHandle>(thread);
    return true;
}

// The thread has ended when this returns, so a host that unloads the module
// after EndVpi finds no thread of it running.
void JoinThread(ThreadHandle handle) {
    HANDLE thread = reinterpret_cast<HANDLE>(handle);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
}

}  // namespace

void FillThreadOps(PlatformOps& ops) {
    ops.startThread = StartThread;
    ops.joinThread = JoinThread;
}

}  // namespace plclink::windows_platform
