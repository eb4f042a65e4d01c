// The PLC number field: its check on OK and the text its spin arrows write.
#include <cstdio>

#include "dialog/decimal_text.h"
#include "dialog/tag_format_rules.h"
#include "dialog/tag_format_template.h"
#include "dialog/tag_format_values.h"

namespace plclink {

int CheckPlcNumber(WindowHandle dialog) {
    const char* plc = tagFormatValues.plcText;
    if (IsDecimalDigit(plc[0]) && IsDecimalDigit(plc[1]) && plc[2] == '\0') return 1;
    ShowRuleMessage(dialog, kPlcNumberMessage);
    return 0;
}

int IsOneOrTwoDigits(const char* text) {
    if (!IsDecimalDigit(text[0])) return 0;
    if (text[1] == '\0') return 1;
    return IsDecimalDigit(text[1]) && text[2] == '\0' ? 1 : 0;
}

void SetPlcNumberText(WindowHandle dialog, int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    Platform().setWindowText(Platform().getDlgItem(dialog, kPlcNumberEdit), text);
}

}  // namespace plclink
