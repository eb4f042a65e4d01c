// The dialog operations of the Linux platform table: the module's own handle,
// the modal dialog on the control model, shown by the face in force, and the
// window operations on the model's controls.
#include <strings.h>
#include <unistd.h>

#include "platform/terminal_dialog/linux_dialog_face.h"
#include "platform/linux/linux_parts.h"

namespace plclink::linux_platform {
namespace {

using linux_dialog::Control;
using linux_dialog::DialogModel;

// The module's instance handle: where the dialog templates live.
const char kModuleToken = 0;

void* ModuleToken() { return const_cast<char*>(&kModuleToken); }

// The module answers to its Windows file name and to its Linux one.
void* GetModuleHandle(const char* moduleName) {
    if (moduleName == nullptr) return nullptr;
    if (strcasecmp(moduleName, "plclink.dll") == 0 || strcasecmp(moduleName, "plclink.so") == 0)
        return ModuleToken();
    return nullptr;
}

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(gettid()); }

const DialogTemplate* FindTemplate(void* instance, int templateId) {
    if (instance != ModuleToken()) return nullptr;
    if (templateId == kTagFormatTemplate.id) return &kTagFormatTemplate;
    return nullptr;
}

MessageResult DialogBoxParam(void* instance, int templateId, WindowHandle owner, DialogProc proc,
                             MessageLParam initParam) {
    const DialogTemplate* layout = FindTemplate(instance, templateId);
    if (layout == nullptr || proc == nullptr) return -1;
    linux_dialog::DialogFace& face = linux_dialog::CurrentFace();
    DialogModel dialog(*layout, owner, proc, initParam);
    if (!face.open(dialog)) return -1;
    dialog.initialize();
    if (!dialog.ended()) face.run(dialog);
    face.close(dialog);
    return dialog.result();
}

bool EndDialog(WindowHandle handle, MessageResult result) {
    DialogModel* dialog = DialogModel::FromHandle(handle);
    if (dialog == nullptr) return false;
    dialog->end(result);
    return true;
}

WindowHandle GetDlgItem(WindowHandle handle, int id) {
    DialogModel* dialog = DialogModel::FromHandle(handle);
    Control* control = dialog != nullptr ? dialog->item(id) : nullptr;
    return control;
}

std::uint32_t GetWindowText(WindowHandle window, char* buffer, int room) {
    DialogModel* dialog = nullptr;
    Control* control = DialogModel::ControlFromHandle(window, &dialog);
    if (control == nullptr) {
        if (buffer != nullptr && room > 0) buffer[0] = '\0';
        return 0;
    }
    return dialog->windowText(*control, buffer, room);
}

std::uint32_t GetDlgItemText(WindowHandle handle, int id, char* buffer, int room) {
    return GetWindowText(GetDlgItem(handle, id), buffer, room);
}

bool SetWindowText(WindowHandle window, const char* text) {
    DialogModel* dialog = nullptr;
    Control* control = DialogModel::ControlFromHandle(window, &dialog);
    return control != nullptr && dialog->setWindowText(*control, text);
}

MessageResult SendMessage(WindowHandle window, std::uint32_t message, MessageWParam wParam,
                          MessageLParam lParam) {
    DialogModel* dialog = nullptr;
    Control* control = DialogModel::ControlFromHandle(window, &dialog);
    return control != nullptr ? dialog->send(*control, message, wParam, lParam) : 0;
}

MessageResult SendDlgItemMessage(WindowHandle handle, int id, std::uint32_t message,
                                 MessageWParam wParam, MessageLParam lParam) {
    return SendMessage(GetDlgItem(handle, id), message, wParam, lParam);
}

bool EnableWindow(WindowHandle window, bool enable) {
    DialogModel* dialog = nullptr;
    Control* control = DialogModel::ControlFromHandle(window, &dialog);
    return control != nullptr && dialog->enable(*control, enable);
}

int MessageBox(WindowHandle owner, const char* text, const char* caption, std::uint32_t type) {
    return linux_dialog::CurrentFace().messageBox(DialogModel::FromHandle(owner),
                                                  text != nullptr ? text : "",
                                                  caption != nullptr ? caption : "", type);
}

const char* DialogUnavailable() { return linux_dialog::CurrentFace().whyNotShown(); }

}  // namespace

void FillDialogOps(PlatformOps& ops) {
    ops.getModuleHandle = GetModuleHandle;
    ops.currentThreadId = CurrentThreadId;
    ops.dialogBoxParam = DialogBoxParam;
    ops.endDialog = EndDialog;
    ops.getDlgItem = GetDlgItem;
    ops.getDlgItemText = GetDlgItemText;
    ops.getWindowText = GetWindowText;
    ops.setWindowText = SetWindowText;
    ops.sendMessage = SendMessage;
    ops.sendDlgItemMessage = SendDlgItemMessage;
    ops.enableWindow = EnableWindow;
    ops.messageBox = MessageBox;
    ops.dialogUnavailable = DialogUnavailable;
}

}  // namespace plclink::linux_platform
