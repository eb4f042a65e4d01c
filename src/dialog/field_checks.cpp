// The checks that run when the user presses OK. Each shows its own message
// and reports 0 when its rule is broken; none changes a control or a value.
#include <cstring>

#include "dialog/decimal_text.h"
#include "dialog/tag_format_rules.h"
#include "dialog/window_messages.h"

namespace plclink {
namespace {

bool Is(const char* text, const char* expected) { return std::strcmp(text, expected) == 0; }

bool IsNoBit(const char* bit) { return Is(bit, "None"); }

int Fail(WindowHandle dialog, const char* message) {
    ShowRuleMessage(dialog, message);
    return 0;
}

}  // namespace

void ShowRuleMessage(WindowHandle dialog, const char* text) {
    Platform().messageBox(dialog, text, kErrorCaption, win::MB_OK);
}

int CheckAddressAlignment(WindowHandle dialog, std::int32_t address, const char* type) {
    if (Is(type, "W") && address % 2 != 0) return Fail(dialog, kWordAlignmentMessage);
    if (Is(type, "F") && address % 4 != 0) return Fail(dialog, kFloatAlignmentMessage);
    if (Is(type, "D") && address % 4 != 0) return Fail(dialog, kDoubleAlignmentMessage);
    return 1;
}

int IsNumberedArea(const char* area) { return Is(area, "T") || Is(area, "C") ? 1 : 0; }

int CheckElementNumber(WindowHandle dialog, std::int32_t number) {
    if (number < 0 || number > 255) return Fail(dialog, kElementNumberMessage);
    return 1;
}

int CheckIoDataType(WindowHandle dialog, const char* area, const char* type) {
    const bool ioArea = Is(area, "I") || Is(area, "Q");
    if (ioArea && !Is(type, "W") && !Is(type, "B")) return Fail(dialog, kIoDataTypeMessage);
    return 1;
}

int CheckByteBitNumber(WindowHandle dialog, const char* bit, const char* type) {
    if (IsNoBit(bit) || !Is(type, "B")) return 1;
    const int number = LeadingDecimalValue(bit);
    if (number < 0 || number > 7) return Fail(dialog, kByteBitNumberMessage);
    return 1;
}

int CheckBitAllowed(WindowHandle dialog, const char* type, const char* bit) {
    if ((Is(type, "F") || Is(type, "D")) && !IsNoBit(bit)) return Fail(dialog, kBitAllowedMessage);
    return 1;
}

}  // namespace plclink
