// The control model: construction from the template, the registry of open
// dialogs that makes handles safe to check, and the window operations and
// control messages as the Windows controls answer them.
#include "platform/terminal_dialog/linux_dialog_model.h"

#include <algorithm>
#include <cstring>

#include "dialog/window_messages.h"

namespace plclink::linux_dialog {
namespace {

using namespace win;

// Most characters an edit takes when nothing else is set.
constexpr std::size_t kDefaultTextLimit = 30000;
constexpr std::size_t kLargestTextLimit = 0x7FFFFFFE;

std::vector<DialogModel*>& OpenDialogs() {
    static std::vector<DialogModel*> dialogs;
    return dialogs;
}

ControlKind KindOf(const ControlTemplate& t) {
    const std::string_view name = t.className;
    if (name == "EDIT") return ControlKind::Edit;
    if (name == "LISTBOX") return ControlKind::ListBox;
    if (name == "SCROLLBAR") return ControlKind::ScrollBar;
    if (name == "COMBOBOX") return ControlKind::ComboBox;
    if (name == "BUTTON")
        return (t.style & style::BS_TYPEMASK) == style::BS_GROUPBOX ? ControlKind::GroupBox
                                                                    : ControlKind::PushButton;
    return ControlKind::Static;
}

Control MakeControl(const ControlTemplate& t) {
    Control c{};
    c.layout = &t;
    c.id = t.id;
    c.kind = KindOf(t);
    c.text = t.text != nullptr ? t.text : "";
    c.enabled = (t.style & style::WS_DISABLED) == 0;
    c.tabStop = (t.style & style::WS_TABSTOP) != 0;
    c.defaultButton = c.kind == ControlKind::PushButton &&
                      (t.style & style::BS_TYPEMASK) == style::BS_DEFPUSHBUTTON;
    c.numberOnly = c.kind == ControlKind::Edit && (t.style & style::ES_NUMBER) != 0;
    c.upperCase = c.kind == ControlKind::Edit && (t.style & style::ES_UPPERCASE) != 0;
    c.textLimit = kDefaultTextLimit;
    c.caret = c.text.size();
    return c;
}

// Copies at most room - 1 characters and a NUL; the number copied.
std::uint32_t CopyOut(std::string_view text, char* buffer, int room) {
    if (buffer == nullptr || room <= 0) return 0;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(room - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

const char* TextParamOf(MessageLParam lParam) { return reinterpret_cast<const char*>(lParam); }

bool ValidIndex(const Control& c, MessageWParam index) { return index < c.items.size(); }

}  // namespace

DialogModel::DialogModel(const DialogTemplate& layout, WindowHandle owner, DialogProc proc,
                         MessageLParam initParam)
    : layout_(layout), owner_(owner), proc_(proc), initParam_(initParam) {
    controls_.reserve(layout.controlCount);
    for (std::size_t i = 0; i < layout.controlCount; ++i)
        controls_.push_back(MakeControl(layout.controls[i]));
    OpenDialogs().push_back(this);
}

DialogModel::~DialogModel() {
    auto& open = OpenDialogs();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
}

DialogModel* DialogModel::FromHandle(WindowHandle dialog) {
    for (DialogModel* d : OpenDialogs())
        if (d == dialog) return d;
    return nullptr;
}

Control* DialogModel::ControlFromHandle(WindowHandle window, DialogModel** dialog) {
    if (window == nullptr) return nullptr;
    for (DialogModel* d : OpenDialogs()) {
        for (Control& c : d->controls_) {
            if (&c == window) {
                if (dialog != nullptr) *dialog = d;
                return &c;
            }
        }
    }
    return nullptr;
}

Control* DialogModel::item(int id) {
    for (Control& c : controls_)
        if (c.id == id) return &c;
    return nullptr;
}

std::uint32_t DialogModel::windowText(const Control& c, char* buffer, int room) const {
    if (c.kind == ControlKind::ComboBox) {
        if (c.choice < 0 || static_cast<std::size_t>(c.choice) >= c.items.size()) {
            CopyOut("", buffer, room);
            return 0;
        }
        return CopyOut(c.items[static_cast<std::size_t>(c.choice)], buffer, room);
    }
    return CopyOut(c.text, buffer, room);
}

bool DialogModel::setWindowText(Control& c, const char* text) {
    if (c.kind == ControlKind::ComboBox || c.kind == ControlKind::ListBox) return false;
    c.text = text != nullptr ? text : "";
    c.caret = c.text.size();
    c.selectAll = false;
    return true;
}

bool DialogModel::enable(Control& c, bool on) {
    const bool wasDisabled = !c.enabled;
    c.enabled = on;
    if (!on) c.dropped = false;
    return wasDisabled;
}

void DialogModel::end(MessageResult result) {
    ended_ = true;
    result_ = result;
}

MessageResult DialogModel::send(Control& c, std::uint32_t message, MessageWParam wParam,
                                MessageLParam lParam) {
    switch (c.kind) {
    case ControlKind::Edit:
        if (message == EM_LIMITTEXT) c.textLimit = wParam == 0 ? kLargestTextLimit : wParam;
        return 0;
    case ControlKind::ListBox:
        return listMessage(c, message, wParam, lParam);
    case ControlKind::ComboBox:
        return comboMessage(c, message, wParam, lParam);
    default:
        return 0;
    }
}

MessageResult DialogModel::listMessage(Control& c, std::uint32_t message, MessageWParam wParam,
                                       MessageLParam lParam) {
    switch (message) {
    case LB_ADDSTRING:
        if (TextParamOf(lParam) == nullptr) return LB_ERR;
        c.items.emplace_back(TextParamOf(lParam));
        return static_cast<MessageResult>(c.items.size() - 1);
    case LB_RESETCONTENT:
        c.items.clear();
        c.choice = -1;
        c.topIndex = 0;
        return 0;
    case LB_GETCOUNT:
        return static_cast<MessageResult>(c.items.size());
    case LB_GETTOPINDEX:
        return c.topIndex;
    case LB_SETTOPINDEX:
        if (!ValidIndex(c, wParam)) return LB_ERR;
        c.topIndex = static_cast<int>(wParam);
        return 0;
    case LB_GETCURSEL:
        return c.choice;
    case LB_SETCURSEL:
        if (!ValidIndex(c, wParam)) {
            c.choice = -1;
            return LB_ERR;
        }
        c.choice = static_cast<int>(wParam);
        c.topIndex = c.choice;  // one item high: the chosen item is the visible one
        return c.choice;
    case LB_GETTEXTLEN:
        return ValidIndex(c, wParam) ? static_cast<MessageResult>(c.items[wParam].size())
                                     : LB_ERR;
    case LB_GETTEXT: {
        // Like the Windows list: the caller's buffer takes the whole item.
        if (!ValidIndex(c, wParam) || lParam == 0) return LB_ERR;
        const std::string& text = c.items[wParam];
        std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
        return static_cast<MessageResult>(text.size());
    }
    default:
        return 0;
    }
}

MessageResult DialogModel::comboMessage(Control& c, std::uint32_t message, MessageWParam wParam,
                                        MessageLParam lParam) {
    switch (message) {
    case CB_ADDSTRING:
        if (TextParamOf(lParam) == nullptr) return CB_ERR;
        c.items.emplace_back(TextParamOf(lParam));
        return static_cast<MessageResult>(c.items.size() - 1);
    case CB_RESETCONTENT:
        c.items.clear();
        c.choice = -1;
        return 0;
    case CB_GETCOUNT:
        return static_cast<MessageResult>(c.items.size());
    case CB_GETCURSEL:
        return c.choice;
    case CB_SETCURSEL:
        c.choice = ValidIndex(c, wParam) ? static_cast<int>(wParam) : -1;
        return c.choice;
    case CB_GETLBTEXTLEN:
        return ValidIndex(c, wParam) ? static_cast<MessageResult>(c.items[wParam].size())
                                     : CB_ERR;
    case CB_GETLBTEXT: {
        if (!ValidIndex(c, wParam) || lParam == 0) return CB_ERR;
        const std::string& text = c.items[wParam];
        std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
        return static_cast<MessageResult>(text.size());
    }
    default:
        return 0;
    }
}

MessageResult DialogModel::notify(Control& c, std::uint16_t code) {
    return proc_(handle(), WM_COMMAND, MakeWParam(static_cast<std::uint16_t>(c.id), code),
                 reinterpret_cast<MessageLParam>(handleOf(c)));
}

void DialogModel::initialize() {
    Control* first = nullptr;
    for (Control& c : controls_) {
        if (c.tabStop && c.enabled) {
            first = &c;
            break;
        }
    }
    proc_(handle(), WM_INITDIALOG, reinterpret_cast<MessageWParam>(first), initParam_);
    if (!ended_ && focus_ == nullptr && first != nullptr && first->enabled) moveFocus(first);
}

}  // namespace plclink::linux_dialog
