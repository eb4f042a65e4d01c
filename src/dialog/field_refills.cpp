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

}  // namespace

// Areas V and M take every data type; the I/O areas only bytes and words.
void FillDataTypeCombo(WindowHandle dialog, const char* area) {
    const PlatformOps& os = Platform();
    os.sendDlgItemMessage(dialog, kDataTypeCombo, win::CB_RESETCONTENT, 0, 0);
    os.enableWindow(os.getDlgItem(dialog, kDataTypeCombo), true);
    if (Is(area, "V") || Is(area, "M"))
        AddComboItems(dialog, TypeChoices, std::size(TypeChoices));
    else
        AddComboItems(dialog, IoTypeChoices, std::size(IoTypeChoices));
}

// Words offer bits 00..15, bytes 00..07; double words and floats have no
// bit, so their list rests disabled on "None".
void FillBitNumberList(WindowHandle dialog, const char* type) {
    const PlatformOps& os = Platform();
    os.sendDlgItemMessage(dialog, kBitNumberList, win::LB_RESETCONTENT, 0, 0);
    WindowHandle list = os.getDlgItem(dialog, kBitNumberList);
    if (Is(type, "F") || Is(type, "D")) {
        AddBitItems(dialog, std::size(BitChoices));
        os.enableWindow(list, false);
        return;
    }
    os.enableWindow(list, true);
    AddBitItems(dialog, Is(type, "W") ? std::size(BitChoices) : kByteBitChoiceCount);
}

}  // namespace plclink
