// The refills that keep the data type combo in step with the memory area and
// the bit number list in step with the data type.
#include <cstring>
#include <iterator>

#include "dialog/tag_format_rules.h"
#include "dialog/tag_format_template.h"
#include "dialog/window_messages.h"

namespace plclink {
namespace {

bool Is(const char* letter, const char* expected) { return std::strcmp(letter, expected) == 0; }

void AddComboItems(WindowHandle dialog, const char* const* items, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        Platform().sendDlgItemMessage(dialog, kDataTypeCombo, win::CB_ADDSTRING, 0,
                                      reinterpret_cast<MessageLParam>(items[i]));
}

void AddBitItems(WindowHandle dialog, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        Platform().sendDlgItemMessage(dialog, kBitNumberList, win::LB_ADDSTRING, 0,
                                      reinterpret_cast<MessageLParam>(BitChoices[i]));
}

// The bit list of a type without a bit: disabled, resting on "None".
void ShowNoBit(WindowHandle dialog) {
    const PlatformOps& os = Platform();
    os.sendDlgItemMessage(dialog, kBitNumberList, win::LB_RESETCONTENT, 0, 0);
    AddBitItems(dialog, std::size(BitChoices));
    os.enableWindow(os.getDlgItem(dialog, kBitNumberList), false);
}

}  // namespace

// Areas V, M, S and SM take every data type; the I/O areas only bytes and
// words; the analog areas, timers and counters only words, chosen for the
// user, and no bit.
void FillDataTypeCombo(WindowHandle dialog, const char* area) {
    const PlatformOps& os = Platform();
    os.sendDlgItemMessage(dialog, kDataTypeCombo, win::CB_RESETCONTENT, 0, 0);
    WindowHandle combo = os.getDlgItem(dialog, kDataTypeCombo);
    os.enableWindow(combo, true);
    if (Is(area, "AI") || Is(area, "AQ") || Is(area, "T") || Is(area, "C")) {
        static constexpr const char* kWordOnly[] = {"W (Word)"};
        AddComboItems(dialog, kWordOnly, 1);
        os.sendDlgItemMessage(dialog, kDataTypeCombo, win::CB_SETCURSEL, 0, 0);
        os.enableWindow(combo, false);
        ShowNoBit(dialog);
    } else if (Is(area, "I") || Is(area, "Q")) {
        AddComboItems(dialog, IoTypeChoices, std::size(IoTypeChoices));
    } else {
        AddComboItems(dialog, TypeChoices, std::size(TypeChoices));
    }
}

// Words offer bits 00..15, bytes 00..07; double words and floats have no
// bit, so their list rests disabled on "None".
void FillBitNumberList(WindowHandle dialog, const char* type) {
    const PlatformOps& os = Platform();
    if (Is(type, "F") || Is(type, "D")) {
        ShowNoBit(dialog);
        return;
    }
    os.sendDlgItemMessage(dialog, kBitNumberList, win::LB_RESETCONTENT, 0, 0);
    os.enableWindow(os.getDlgItem(dialog, kBitNumberList), true);
    AddBitItems(dialog, Is(type, "W") ? std::size(BitChoices) : kByteBitChoiceCount);
}

}  // namespace plclink
