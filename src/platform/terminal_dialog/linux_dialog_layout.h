// The arrangement of a dialog template on a character grid: dialog units
// become cells (four horizontal units and eight vertical units to a cell, the
// size of the template font's average character), each control sitting on
// the row of its middle.
#pragma once

#include "platform/terminal_dialog/linux_dialog_model.h"

namespace plclink::linux_dialog {

struct CellBox {
    int row, col;       // from the dialog's top left corner, inside its frame
    int width, height;  // in cells; height 1 for one-line controls
};

// The dialog's frame: its size in cells with the frame and the caption line.
CellBox DialogCells(const DialogTemplate& layout);

// Where a control lies inside the frame.
CellBox ControlCells(const ControlTemplate& control);

// The rows a combo's open list may take below it.
int DroppedRows(const ControlTemplate& combo);

// The spin arrows that stand right beside an edit, or nullptr.
Control* SpinOf(DialogModel& dialog, const Control& edit);

}  // namespace plclink::linux_dialog
