// Command 16: shows the Tag Format dialog and, when the user confirms it,
// writes the composed gate address string into the host's buffer.
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "dialog/tag_format_dialog.h"
#include "dialog/tag_format_template.h"
#include "dialog/tag_format_values.h"
#include "dialog/window_messages.h"
#include "entry/command_handlers.h"
#include "platform/platform.h"

namespace plclink {

std::int32_t ShowTagFormatDialog(VpiCallBlock* callBlock) {
    auto* record = ParamsOf<GateParseRecord>(callBlock);
    if (record == nullptr || record->gas == nullptr) {
        err(kLogCategory, "ShowTagFormatDialog() error. No address buffer");
        return VPI_DIALOG_NOTHING;
    }
    if (TagFormatActive != 0) return VPI_DIALOG_NOTHING;
    TagFormatActive = 1;

    const PlatformOps& os = Platform();
    void* instance = os.getModuleHandle("PLCLINK.DLL");
    const std::uint16_t version = AskHostVersion();
    WindowHandle owner = version >= kOwnerWindowVersion ? record->ownerWindow : nullptr;
    const MessageResult result =
        os.dialogBoxParam(instance, kTagFormatTemplateId, owner, TagFormatDlgProc, 0);
    // The flag guards only a dialog that is still open.
    TagFormatActive = 0;

    if (result != win::IDOK && result != win::IDCANCEL && os.dialogUnavailable != nullptr) {
        if (const char* missing = os.dialogUnavailable())
            err(kLogCategory, "ShowTagFormatDialog() error. The dialog %s", missing);
    }
    if (result != win::IDOK) return VPI_DIALOG_NOTHING;
    ComposeGas(record->gas);
    return VPI_OK;
}

}  // namespace plclink
