// The dialog procedure of the Tag Format dialog: sets up the controls, keeps
// the lists in step with the user's choices, steps the two spin arrows, and
// on OK reads and checks the five values.
#include <cstdio>
#include <cstring>

#include "dialog/decimal_text.h"
#include "dialog/tag_format_dialog.h"
#include "dialog/tag_format_rules.h"
#include "dialog/tag_format_template.h"
#include "dialog/tag_format_values.h"
#include "dialog/window_messages.h"

namespace plclink {

TagFormatValues tagFormatValues{};

namespace {

using namespace win;

constexpr int kMaxPlcNumber = 32;
constexpr int kMinPlcNumber = 1;
constexpr std::int32_t kMaxAddress = 9999;
constexpr MessageWParam kPlcNumberChars = sizeof TagFormatValues::plcText - 1;

MessageLParam TextParam(const char* text) { return reinterpret_cast<MessageLParam>(text); }

MessageResult InitDialog(WindowHandle dialog) {
    const PlatformOps& os = Platform();
    os.sendDlgItemMessage(dialog, kAddressEdit, EM_LIMITTEXT, 4, 0);
    os.setWindowText(os.getDlgItem(dialog, kAddressEdit), "0000");
    for (const char* bit : BitChoices)
        os.sendDlgItemMessage(dialog, kBitNumberList, LB_ADDSTRING, 0, TextParam(bit));
    for (const char* area : AreaChoices)
        os.sendDlgItemMessage(dialog, kMemoryAreaCombo, CB_ADDSTRING, 0, TextParam(area));
    for (const char* type : TypeChoices)
        os.sendDlgItemMessage(dialog, kDataTypeCombo, CB_ADDSTRING, 0, TextParam(type));
    // OK reads two characters of the PLC number: the edit holds no more, so
    // it shows the number that OK will use.
    os.sendDlgItemMessage(dialog, kPlcNumberEdit, EM_LIMITTEXT, kPlcNumberChars, 0);
    os.setWindowText(os.getDlgItem(dialog, kPlcNumberEdit), "01");
    return TRUE_RESULT;
}

// The first character of the chosen item; empty when none is chosen.
std::uint32_t ReadLetter(WindowHandle dialog, int comboId, char (&letter)[2]) {
    letter[0] = '\0';
    Platform().getDlgItemText(dialog, comboId, letter, sizeof letter);
    letter[1] = '\0';
    return letter[0] != '\0' ? 1 : 0;
}

// The text of the bit list's top visible item; its length, 0 when there is
// none (or it would not fit).
std::uint32_t ReadTopBit(WindowHandle dialog, char (&bit)[5]) {
    const PlatformOps& os = Platform();
    bit[0] = '\0';
    const MessageResult top = os.sendDlgItemMessage(dialog, kBitNumberList, LB_GETTOPINDEX, 0, 0);
    if (top < 0) return 0;
    const auto index = static_cast<MessageWParam>(top);
    const MessageResult length =
        os.sendDlgItemMessage(dialog, kBitNumberList, LB_GETTEXTLEN, index, 0);
    if (length <= 0 || length >= static_cast<MessageResult>(sizeof bit)) return 0;
    const MessageResult got = os.sendDlgItemMessage(dialog, kBitNumberList, LB_GETTEXT, index,
                                                    reinterpret_cast<MessageLParam>(bit));
    bit[sizeof bit - 1] = '\0';
    return got > 0 ? static_cast<std::uint32_t>(got) : 0;
}

// The area name that leads the chosen area item: one or two letters before
// its blank; empty when none is chosen.
std::uint32_t ReadAreaName(WindowHandle dialog, char (&name)[3]) {
    name[0] = '\0';
    Platform().getDlgItemText(dialog, kMemoryAreaCombo, name, sizeof name);
    name[2] = '\0';
    if (name[1] == ' ') name[1] = '\0';
    return static_cast<std::uint32_t>(std::strlen(name));
}

std::uint32_t ReadText(WindowHandle dialog, int id, char* buffer, int room) {
    buffer[0] = '\0';
    const std::uint32_t count = Platform().getDlgItemText(dialog, id, buffer, room);
    buffer[room - 1] = '\0';
    return count;
}

MessageResult PressOk(WindowHandle dialog) {
    TagFormatValues& v = tagFormatValues;
    const std::uint32_t counts[] = {
        ReadText(dialog, kPlcNumberEdit, v.plcText, sizeof v.plcText),
        ReadAreaName(dialog, v.areaLetter),
        ReadLetter(dialog, kDataTypeCombo, v.typeLetter),
        ReadText(dialog, kAddressEdit, v.addressText, sizeof v.addressText),
        ReadTopBit(dialog, v.bitText),
    };
    // At most one rule message: each check runs only when those before it held.
    const std::int32_t address = LeadingDecimalValue(v.addressText);
    bool rulesHold = IsNumberedArea(v.areaLetter) != 0
                         ? CheckElementNumber(dialog, address) != 0
                         : CheckAddressAlignment(dialog, address, v.typeLetter) != 0;
    PadAddressDigits(v.addressText);
    rulesHold = rulesHold && CheckIoDataType(dialog, v.areaLetter, v.typeLetter) != 0;
    rulesHold = rulesHold && CheckByteBitNumber(dialog, v.bitText, v.typeLetter) != 0;
    rulesHold = rulesHold && CheckBitAllowed(dialog, v.typeLetter, v.bitText) != 0;
    for (std::uint32_t count : counts) {
        if (count == 0) {
            ShowRuleMessage(dialog, kMissingValueMessage);
            return FALSE_RESULT;
        }
    }
    if (CheckPlcNumber(dialog) != 0 && rulesHold) {
        Platform().endDialog(dialog, IDOK);
        return TRUE_RESULT;
    }
    return FALSE_RESULT;
}

MessageResult Command(WindowHandle dialog, MessageWParam wParam) {
    TagFormatValues& v = tagFormatValues;
    switch (LoWord(wParam)) {
    case kMemoryAreaCombo:
        // Every notification of the area combo refills the data types.
        ReadAreaName(dialog, v.areaLetter);
        if (v.areaLetter[0] != '\0') FillDataTypeCombo(dialog, v.areaLetter);
        return FALSE_RESULT;
    case kDataTypeCombo:
        if (HiWord(wParam) != CBN_SELCHANGE) return FALSE_RESULT;
        ReadLetter(dialog, kDataTypeCombo, v.typeLetter);
        if (v.typeLetter[0] != '\0') FillBitNumberList(dialog, v.typeLetter);
        return FALSE_RESULT;
    case kOkButton:
        return PressOk(dialog);
    case kCancelButton:
        Platform().endDialog(dialog, IDCANCEL);
        return TRUE_RESULT;
    default:
        return FALSE_RESULT;
    }
}

// PLC numbers up to 32 and down to 1, no wrap; a text that is not one or two
// digits counts as 1.
void StepPlcNumber(WindowHandle dialog, bool up) {
    char text[3];
    ReadText(dialog, kPlcNumberEdit, text, sizeof text);
    int number = 1;
    if (IsOneOrTwoDigits(text) == 0 || std::sscanf(text, "%02d", &number) != 1) number = 1;
    // Each direction has its own limit: a typed 50 steps down to 49.
    if (up)
        number = number + 1 > kMaxPlcNumber ? kMaxPlcNumber : number + 1;
    else
        number = number - 1 < kMinPlcNumber ? kMinPlcNumber : number - 1;
    SetPlcNumberText(dialog, number);
}

// Addresses 0..9999 in steps of 1, no wrap.
void StepAddress(WindowHandle dialog, bool up) {
    char text[5];
    ReadText(dialog, kAddressEdit, text, sizeof text);
    std::int32_t value = LeadingDecimalValue(text);
    if (up && value < kMaxAddress) ++value;
    if (!up && value > 0) --value;
    char padded[16];
    std::snprintf(padded, sizeof padded, "%d", static_cast<int>(value));
    PadAddressDigits(padded);
    Platform().setWindowText(Platform().getDlgItem(dialog, kAddressEdit), padded);
}

MessageResult VerticalScroll(WindowHandle dialog, MessageWParam wParam, MessageLParam lParam) {
    const std::uint16_t code = LoWord(wParam);
    if (code != SB_LINEUP && code != SB_LINEDOWN) return FALSE_RESULT;
    const bool up = code == SB_LINEUP;
    const auto bar = reinterpret_cast<WindowHandle>(lParam);
    if (bar == nullptr) return FALSE_RESULT;
    const PlatformOps& os = Platform();
    if (bar == os.getDlgItem(dialog, kPlcNumberSpin))
        StepPlcNumber(dialog, up);
    else if (bar == os.getDlgItem(dialog, kAddressSpin))
        StepAddress(dialog, up);
    return FALSE_RESULT;
}

}  // namespace

MessageResult PLCLINK_CALLBACK TagFormatDlgProc(WindowHandle dialog, std::uint32_t message,
                                                MessageWParam wParam, MessageLParam lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return InitDialog(dialog);
    case WM_COMMAND:
        return Command(dialog, wParam);
    case WM_VSCROLL:
        return VerticalScroll(dialog, wParam, lParam);
    default:
        return FALSE_RESULT;
    }
}

}  // namespace plclink
