// How a Linux dialog is presented to its user. The terminal face draws the
// control model with ncurses and turns keys into the user's actions; tests
// install a scripted face that performs the actions themselves.
#pragma once

#include <cstdint>

#include "platform/terminal_dialog/linux_dialog_model.h"

namespace plclink::linux_dialog {

class DialogFace {
public:
    virtual ~DialogFace() = default;
    // Prepares to show the dialog; false when it cannot be shown.
    virtual bool open(DialogModel& dialog) = 0;
    // Runs the modal loop until the dialog has ended.
    virtual void run(DialogModel& dialog) = 0;
    // Takes the dialog away and restores what was there before.
    virtual void close(DialogModel& dialog) = 0;
    // A modal message with an OK button, owned by an open dialog or by none;
    // IDOK when the user dismissed it, 0 when it could not be shown.
    virtual int messageBox(DialogModel* owner, const char* text, const char* caption,
                           std::uint32_t type) = 0;
    // Why the last open failed ("needs a terminal with cursor addressing"),
    // or nullptr.
    virtual const char* whyNotShown() const { return nullptr; }
};

// The face in force: the terminal unless another was installed.
DialogFace& CurrentFace();
// Installs a face (nullptr = the terminal); returns the previous one, or
// nullptr when that was the terminal.
DialogFace* InstallFace(DialogFace* face);
// The ncurses face.
DialogFace& TerminalFace();

}  // namespace plclink::linux_dialog
