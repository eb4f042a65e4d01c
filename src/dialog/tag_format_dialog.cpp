// Command 16: shows the Tag Format dialog and, when the user confirms it,
// writes the composed gate address string into the host's buffer.
#include <cstdio>
#include <cstring>

#include "dialog/decimal_text.h"
#include "dialog/tag_format_dialog.h"
#include "dialog/tag_format_template.h"
#include "dialog/tag_format_values.h"
#include "dialog/window_messages.h"
#include "entry/command_handlers.h"
#include "entry/host_log.h"
#include "entry/vpi_instance.h"
#include "platform/platform.h"

namespace plclink {

std::int32_t TagFormatActive = 0;

namespace {

// The GAS with a two-character bit and its NUL: the most the buffer gets.
constexpr std::size_t kMaxGasBytes = 11;

}  // namespace

// Asks through a client that lives only for this question.
std::uint16_t AskHostVersion() {
    char clientName[32];
    std::snprintf(clientName, sizeof clientName, "VpiK7Br%02u",
                  static_cast<unsigned>(Platform().currentThreadId()));
    unsigned char clientId = 255;
    unsigned short version = 0;
    if (KorMkClient(clientName, 1, 0, &clientId) == 0) {
        char info[100] = {};
        KorGetKorvanVer(clientId, &version, info);
        KorRmClient(clientId);
    }
    return version;
}

// PLC number, area, type, four address digits and, for a bit, the bit: one
// digit 0..7 on a byte (the form command 3 parses), the two characters of
// the list on a word.
std::size_t ComposeGas(char* gas) {
    const TagFormatValues& v = tagFormatValues;
    char text[kMaxGasBytes + 1] = {};
    std::size_t n = 0;
    text[n++] = v.plcText[0];
    text[n++] = v.plcText[1];
    text[n++] = v.areaLetter[0];
    text[n++] = v.typeLetter[0];
    for (int i = 0; i < 4; ++i) text[n++] = v.addressText[i];
    if (v.bitText[0] != 'N') {
        if (std::strcmp(v.typeLetter, "B") == 0) {
            text[n++] = static_cast<char>('0' + LeadingDecimalValue(v.bitText) % 10);
        } else {
            text[n++] = v.bitText[0];
            text[n++] = v.bitText[1];
        }
    }
    text[n] = '\0';
    const std::size_t length = std::strlen(text);
    std::memcpy(gas, text, length + 1);
    return length;
}

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

    if (result != win::IDOK) return VPI_DIALOG_NOTHING;
    ComposeGas(record->gas);
    return VPI_OK;
}

}  // namespace plclink
