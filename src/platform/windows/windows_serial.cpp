// Serial ports through the Win32 communications API. A line handle is the
// port's HANDLE; INVALID_HANDLE_VALUE (all bits set) is what a failed open
// leaves, which is also the driver's null line.
#include <windows.h>

#include "platform/windows/windows_line_state.h"
#include "platform/windows/windows_parts.h"

namespace plclink::windows_platform {
namespace {

HANDLE HandleOf(LineHandle line) { return reinterpret_cast<HANDLE>(line); }

// Room for "\\.\" and the longest port name the host records carry.
constexpr std::size_t kDeviceNameRoom = 4 + sizeof(LineConfig::portName) + 16;

bool OpenPort(const char* portName, LineHandle* handleOut) {
    *handleOut = reinterpret_cast<LineHandle>(INVALID_HANDLE_VALUE);
    char device[kDeviceNameRoom];
    if (!DeviceNameOf(portName, device, sizeof device)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // Read and write, no sharing, an existing device only, no overlapped I/O.
    HANDLE h = ::CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    *handleOut = reinterpret_cast<LineHandle>(h);
    return h != INVALID_HANDLE_VALUE;
}

bool ClosePort(LineHandle line) { return ::CloseHandle(HandleOf(line)) != FALSE; }

DCB EmptyDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    return dcb;
}

bool GetLineState(LineHandle line, LineState* state) {
    DCB dcb = EmptyDcb();
    if (!::GetCommState(HandleOf(line), &dcb)) return false;
    *state = LineStateOf(dcb);
    return true;
}

// The port's own state is read again and only our fields are replaced, so
// whatever LineState does not carry stays as the port has it.
bool SetLineState(LineHandle line, const LineState* state) {
    DCB dcb = EmptyDcb();
    if (!::GetCommState(HandleOf(line), &dcb)) return false;
    ApplyLineState(*state, dcb);
    return ::SetCommState(HandleOf(line), &dcb) != FALSE;
}

bool GetTimeouts(LineHandle line, LineTimeouts* timeouts) {
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(HandleOf(line), &t)) return false;
    *timeouts = LineTimeoutsOf(t);
    return true;
}

bool SetTimeouts(LineHandle line, const LineTimeouts* timeouts) {
    COMMTIMEOUTS t = CommTimeoutsOf(*timeouts);
    return ::SetCommTimeouts(HandleOf(line), &t) != FALSE;
}

bool SetupQueues(LineHandle line, std::uint32_t inSize, std::uint32_t outSize) {
    return ::SetupComm(HandleOf(line), inSize, outSize) != FALSE;
}

bool SetEventMask(LineHandle line, std::uint32_t mask) {
    return ::SetCommMask(HandleOf(line), mask) != FALSE;
}

bool WaitEvent(LineHandle line, std::uint32_t* events) {
    DWORD occurred = 0;
    if (!::WaitCommEvent(HandleOf(line), &occurred, nullptr)) return false;
    *events = occurred;
    return true;
}

bool ClearErrors(LineHandle line, std::uint32_t* errors, std::uint32_t* bytesWaiting) {
    DWORD flags = 0;
    COMSTAT status{};
    if (!::ClearCommError(HandleOf(line), &flags, &status)) return false;
    *errors = flags;
    *bytesWaiting = status.cbInQue;
    return true;
}

bool EscapeFunction(LineHandle line, std::uint32_t function) {
    return ::EscapeCommFunction(HandleOf(line), function) != FALSE;
}

bool ReadPort(LineHandle line, void* buffer, std::uint32_t length, std::uint32_t* got) {
    DWORD count = 0;
    const BOOL ok = ::ReadFile(HandleOf(line), buffer, length, &count, nullptr);
    *got = count;
    return ok != FALSE;
}

bool WritePort(LineHandle line, const void* buffer, std::uint32_t length,
               std::uint32_t* written) {
    DWORD count = 0;
    const BOOL ok = ::WriteFile(HandleOf(line), buffer, length, &count, nullptr);
    *written = count;
    return ok != FALSE;
}

std::uint32_t LastError() { return ::GetLastError(); }

}  // namespace

void FillLineOps(PlatformOps& ops) {
    static constexpr LineBackend kSerialBackend{
        ClosePort,    GetLineState, SetLineState, GetTimeouts,    SetTimeouts, SetupQueues,
        SetEventMask, WaitEvent,    ClearErrors,  EscapeFunction, ReadPort,    WritePort};
    RouteLineOps(ops, OpenPort, kSerialBackend, TcpLineOpener(WindowsSockets()), TcpLineBackend());
    ops.lastError = LastError;
}

}  // namespace plclink::windows_platform
