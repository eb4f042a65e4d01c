// Dialogs on Linux. Placeholder until the terminal dialog lands: no dialog
// can be created.
#include <unistd.h>

#include "platform/linux_parts.h"

namespace plclink::linux_platform {
namespace {
void* GetModuleHandle(const char*) { return nullptr; }
std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(gettid()); }
MessageResult DialogBoxParam(void*, int, WindowHandle, DialogProc, MessageLParam) { return -1; }
}  // namespace

void FillDialogOps(PlatformOps& ops) {
    ops.getModuleHandle = GetModuleHandle;
    ops.currentThreadId = CurrentThreadId;
    ops.dialogBoxParam = DialogBoxParam;
}

}  // namespace plclink::linux_platform
