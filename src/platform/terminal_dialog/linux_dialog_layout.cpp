// Dialog units to character cells.
#include "platform/terminal_dialog/linux_dialog_layout.h"

#include <algorithm>
#include <cstdlib>

namespace plclink::linux_dialog {
namespace {

constexpr int kUnitsPerColumn = 4;
constexpr int kUnitsPerRow = 8;
// A closed combo is one line high; its template height includes its list.
constexpr int kClosedComboUnits = 12;

bool IsGroupBox(const ControlTemplate& c) {
    return std::string_view(c.className) == "BUTTON" &&
           (c.style & style::BS_TYPEMASK) == style::BS_GROUPBOX;
}

}  // namespace

CellBox DialogCells(const DialogTemplate& layout) {
    // Frame left and right; caption line on top, frame below.
    return {0, 0, layout.cx / kUnitsPerColumn + 2, layout.cy / kUnitsPerRow + 3};
}

CellBox ControlCells(const ControlTemplate& c) {
    const int col = c.x / kUnitsPerColumn + 1;
    const int width = std::max(1, c.cx / kUnitsPerColumn);
    if (IsGroupBox(c)) {
        const int top = c.y / kUnitsPerRow + 1;
        const int bottom = (c.y + c.cy) / kUnitsPerRow + 1;
        return {top, col, (c.x + c.cx) / kUnitsPerColumn + 1 - col + 1, bottom - top + 1};
    }
    const bool combo = std::string_view(c.className) == "COMBOBOX";
    const int height = combo ? kClosedComboUnits : std::min<int>(c.cy, 14);
    return {(c.y + height / 2) / kUnitsPerRow + 1, col, width, 1};
}

int DroppedRows(const ControlTemplate& combo) {
    return std::max(1, (combo.cy - kClosedComboUnits) / kUnitsPerRow);
}

Control* SpinOf(DialogModel& dialog, const Control& edit) {
    const ControlTemplate& e = *edit.layout;
    for (Control& c : dialog.controls()) {
        if (c.kind != ControlKind::ScrollBar) continue;
        const ControlTemplate& s = *c.layout;
        if (s.y == e.y && std::abs(s.x - (e.x + e.cx)) <= 2) return &c;
    }
    return nullptr;
}

}  // namespace plclink::linux_dialog
