// Dialogs through the Win32 dialog manager: the template comes from the
// module's resources, the controls are the system's own.
#include <windows.h>

#include "platform/windows/windows_parts.h"

namespace plclink::windows_platform {
namespace {

HWND WindowOf(WindowHandle window) { return static_cast<HWND>(window); }

void* ModuleHandle(const char* moduleName) { return ::GetModuleHandleA(moduleName); }

std::uint32_t ThreadId() { return ::GetCurrentThreadId(); }

// Our DialogProc has the parameters and calling convention of DLGPROC, only
// with neutral types (void* for HWND, intptr_t for LPARAM).
DLGPROC DlgProcOf(DialogProc proc) {
    return reinterpret_cast<DLGPROC>(reinterpret_cast<void (*)()>(proc));
}

MessageResult RunModalDialog(void* instance, int templateId, WindowHandle owner,
                            DialogProc proc, MessageLParam initParam) {
    return ::DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(templateId),
                             WindowOf(owner), DlgProcOf(proc), initParam);
}

bool EndModalDialog(WindowHandle dialog, MessageResult result) {
    return ::EndDialog(WindowOf(dialog), result) != FALSE;
}

WindowHandle DialogItem(WindowHandle dialog, int id) {
    return ::GetDlgItem(WindowOf(dialog), id);
}

std::uint32_t DialogItemText(WindowHandle dialog, int id, char* buffer, int room) {
    return ::GetDlgItemTextA(WindowOf(dialog), id, buffer, room);
}

std::uint32_t WindowText(WindowHandle window, char* buffer, int room) {
    const int n = ::GetWindowTextA(WindowOf(window), buffer, room);
    return n > 0 ? static_cast<std::uint32_t>(n) : 0;
}

bool SetText(WindowHandle window, const char* text) {
    return ::SetWindowTextA(WindowOf(window), text) != FALSE;
}

MessageResult Send(WindowHandle window, std::uint32_t message, MessageWParam wParam,
                   MessageLParam lParam) {
    return ::SendMessageA(WindowOf(window), message, wParam, lParam);
}

MessageResult SendToItem(WindowHandle dialog, int id, std::uint32_t message,
                         MessageWParam wParam, MessageLParam lParam) {
    return ::SendDlgItemMessageA(WindowOf(dialog), id, message, wParam, lParam);
}

// EnableWindow reports whether the window was disabled before the call.
bool Enable(WindowHandle window, bool enable) {
    return ::EnableWindow(WindowOf(window), enable ? TRUE : FALSE) != FALSE;
}

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, std::uint32_t type) {
    return ::MessageBoxA(WindowOf(owner), text, caption, type);
}

}  // namespace

void FillDialogOps(PlatformOps& ops) {
    ops.getModuleHandle = ModuleHandle;
    ops.currentThreadId = ThreadId;
    ops.dialogBoxParam = RunModalDialog;
    ops.endDialog = EndModalDialog;
    ops.getDlgItem = DialogItem;
    ops.getDlgItemText = DialogItemText;
    ops.getWindowText = WindowText;
    ops.setWindowText = SetText;
    ops.sendMessage = Send;
    ops.sendDlgItemMessage = SendToItem;
    ops.enableWindow = Enable;
    ops.messageBox = ShowMessageBox;
}

}  // namespace plclink::windows_platform
