// The Linux dialog: an in-memory model of a dialog template's controls that
// answers the window operations and messages of the platform table the way
// the Windows controls do, and takes the user's actions (choose an item,
// type, press an arrow or a button, move the focus) from a presentation.
//
// Window handles are the addresses of the model and of its controls; an
// operation on a handle that belongs to no open dialog does nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/tag_format_template.h"
#include "platform/platform.h"

namespace plclink::linux_dialog {

enum class ControlKind { Edit, ListBox, PushButton, GroupBox, ScrollBar, Static, ComboBox };

struct Control {
    const ControlTemplate* layout;  // id, class, rectangle and styles of the template
    int id;
    ControlKind kind;
    std::string text;
    bool enabled;
    bool tabStop;
    bool defaultButton;
    bool numberOnly;   // edit: only digits can be typed
    bool upperCase;    // edit: letters typed become capitals
    std::size_t textLimit;
    std::size_t caret = 0;       // edit: insertion point
    bool selectAll = false;      // edit: the next typed character replaces the text
    std::vector<std::string> items;  // list and combo items
    int choice = -1;             // combo: chosen item; list: caret item
    int topIndex = 0;            // list: first visible item
    bool dropped = false;        // combo: its list is open
};

class DialogModel {
public:
    DialogModel(const DialogTemplate& layout, WindowHandle owner, DialogProc proc,
                MessageLParam initParam);
    ~DialogModel();
    DialogModel(const DialogModel&) = delete;
    DialogModel& operator=(const DialogModel&) = delete;

    // Handles.
    WindowHandle handle() { return this; }
    WindowHandle handleOf(Control& control) { return &control; }
    static DialogModel* FromHandle(WindowHandle dialog);            // open dialogs only
    static Control* ControlFromHandle(WindowHandle window, DialogModel** dialog = nullptr);

    const DialogTemplate& layout() const { return layout_; }
    WindowHandle owner() const { return owner_; }
    std::vector<Control>& controls() { return controls_; }
    Control* item(int id);

    // Window operations.
    std::uint32_t windowText(const Control& control, char* buffer, int room) const;
    bool setWindowText(Control& control, const char* text);
    MessageResult send(Control& control, std::uint32_t message, MessageWParam wParam,
                       MessageLParam lParam);
    bool enable(Control& control, bool on);  // whether it was disabled before
    void end(MessageResult result);
    bool ended() const { return ended_; }
    MessageResult result() const { return result_; }

    // Sends WM_INITDIALOG and puts the focus on the first tab stop.
    void initialize();

    // The user's actions. Actions on a disabled control or a control of the
    // wrong kind do nothing and return false.
    Control* focused() { return focus_; }
    bool setFocus(int id);
    void focusNext(bool backwards);
    bool chooseItem(int id, int index);       // combo: choose; list: scroll it to the top
    bool stepChoice(int id, int delta);       // combo or list arrow keys
    bool dropDown(int id, bool open);         // open or close a combo's list
    bool typeChar(int id, char c);            // edit, at the caret
    bool typeText(int id, std::string_view text);  // select all, then type each character
    bool eraseBack(int id);                   // edit: Backspace
    bool eraseForward(int id);                // edit: Delete
    bool moveCaret(int id, int delta);        // edit: Left/Right; INT_MIN/INT_MAX = Home/End
    bool pressSpin(int id, bool up);          // scroll bar arrow
    bool pressButton(int id);                 // click
    void pressEnter();                        // the focused push button, else the default one
    void pressEscape();                       // Cancel

private:
    MessageResult notify(Control& control, std::uint16_t code);
    MessageResult listMessage(Control& control, std::uint32_t message, MessageWParam wParam,
                              MessageLParam lParam);
    MessageResult comboMessage(Control& control, std::uint32_t message, MessageWParam wParam,
                               MessageLParam lParam);
    Control* usable(int id, ControlKind kind);
    bool erase(int id, bool backward);  // Backspace (backward) or Delete
    void moveFocus(Control* to);

    const DialogTemplate& layout_;
    WindowHandle owner_;
    DialogProc proc_;
    MessageLParam initParam_;
    std::vector<Control> controls_;
    Control* focus_ = nullptr;
    bool ended_ = false;
    MessageResult result_ = 0;
};

}  // namespace plclink::linux_dialog
