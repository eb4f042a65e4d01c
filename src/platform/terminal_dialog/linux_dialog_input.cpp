// The user's actions on the control model, with the notifications the
// Windows controls send their dialog for them: a control the user acts on
// takes the focus; combos report focus changes, openings and choices; lists
// report their choice; spin arrows send a line step and the end of the
// scroll; buttons report the click.
#include <algorithm>
#include <climits>

#include "dialog/window_messages.h"
#include "platform/terminal_dialog/linux_dialog_model.h"

namespace plclink::linux_dialog {
namespace {

using namespace win;

constexpr std::uint16_t EN_CHANGE = 0x0300;
constexpr std::uint16_t LBN_SETFOCUS = 4;
constexpr std::uint16_t LBN_KILLFOCUS = 5;
constexpr std::uint16_t CBN_DROPDOWN = 7;
constexpr std::uint16_t CBN_CLOSEUP = 8;
constexpr std::uint16_t SB_ENDSCROLL = 8;

bool Focusable(const Control& c) {
    return c.enabled && (c.kind == ControlKind::Edit || c.kind == ControlKind::ListBox ||
                         c.kind == ControlKind::ComboBox || c.kind == ControlKind::PushButton);
}

bool IsPrintable(char c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

Control* DialogModel::usable(int id, ControlKind kind) {
    if (ended_) return nullptr;
    Control* c = item(id);
    return c != nullptr && c->kind == kind && c->enabled ? c : nullptr;
}

void DialogModel::moveFocus(Control* to) {
    if (to == focus_ || ended_) return;
    Control* from = focus_;
    focus_ = to;
    if (from != nullptr) {
        if (from->kind == ControlKind::ComboBox) {
            if (from->dropped) {
                from->dropped = false;
                notify(*from, CBN_CLOSEUP);
            }
            notify(*from, CBN_KILLFOCUS);
        } else if (from->kind == ControlKind::ListBox) {
            notify(*from, LBN_KILLFOCUS);
        } else if (from->kind == ControlKind::Edit) {
            from->selectAll = false;
        }
    }
    if (to == nullptr || focus_ != to) return;
    if (to->kind == ControlKind::Edit) {
        to->selectAll = true;
        to->caret = to->text.size();
    } else if (to->kind == ControlKind::ComboBox) {
        notify(*to, CBN_SETFOCUS);
    } else if (to->kind == ControlKind::ListBox) {
        notify(*to, LBN_SETFOCUS);
    }
}

bool DialogModel::setFocus(int id) {
    Control* c = item(id);
    if (ended_ || c == nullptr || !Focusable(*c)) return false;
    moveFocus(c);
    return true;
}

void DialogModel::focusNext(bool backwards) {
    std::vector<Control*> stops;
    for (Control& c : controls_)
        if (c.tabStop && Focusable(c)) stops.push_back(&c);
    if (stops.empty()) return;
    auto at = std::find(stops.begin(), stops.end(), focus_);
    std::size_t index = 0;
    if (at == stops.end()) {
        index = backwards ? stops.size() - 1 : 0;
    } else {
        const std::size_t here = static_cast<std::size_t>(at - stops.begin());
        index = backwards ? (here + stops.size() - 1) % stops.size() : (here + 1) % stops.size();
    }
    moveFocus(stops[index]);
}

bool DialogModel::chooseItem(int id, int index) {
    Control* c = item(id);
    if (ended_ || c == nullptr || !c->enabled || index < 0 ||
        static_cast<std::size_t>(index) >= c->items.size())
        return false;
    if (c->kind == ControlKind::ComboBox) {
        moveFocus(c);
        if (index != c->choice && !ended_) {
            c->choice = index;
            notify(*c, CBN_SELCHANGE);
        }
        return true;
    }
    if (c->kind == ControlKind::ListBox) {
        moveFocus(c);
        c->topIndex = index;
        c->choice = index;
        if (!ended_) notify(*c, LBN_SELCHANGE);
        return true;
    }
    return false;
}

bool DialogModel::stepChoice(int id, int delta) {
    Control* c = item(id);
    if (ended_ || c == nullptr || !c->enabled || c->items.empty()) return false;
    const int last = static_cast<int>(c->items.size()) - 1;
    if (c->kind == ControlKind::ComboBox) {
        const int next = c->choice < 0 ? 0 : std::clamp(c->choice + delta, 0, last);
        return chooseItem(id, next);
    }
    if (c->kind == ControlKind::ListBox) {
        const int next = std::clamp(c->topIndex + delta, 0, last);
        if (next == c->topIndex) {
            moveFocus(c);
            return true;
        }
        return chooseItem(id, next);
    }
    return false;
}

bool DialogModel::dropDown(int id, bool open) {
    Control* c = usable(id, ControlKind::ComboBox);
    if (c == nullptr) return false;
    moveFocus(c);
    if (c->dropped == open || ended_) return true;
    c->dropped = open;
    notify(*c, open ? CBN_DROPDOWN : CBN_CLOSEUP);
    return true;
}

bool DialogModel::typeChar(int id, char ch) {
    Control* c = usable(id, ControlKind::Edit);
    if (c == nullptr) return false;
    moveFocus(c);
    if (!IsPrintable(ch)) return false;
    if (c->upperCase && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (c->numberOnly && (ch < '0' || ch > '9')) return false;
    if (c->selectAll) {
        c->text.clear();
        c->caret = 0;
        c->selectAll = false;
    }
    if (c->text.size() >= c->textLimit) return false;
    c->caret = std::min(c->caret, c->text.size());
    c->text.insert(c->caret, 1, ch);
    ++c->caret;
    notify(*c, EN_CHANGE);
    return true;
}

bool DialogModel::typeText(int id, std::string_view text) {
    Control* c = usable(id, ControlKind::Edit);
    if (c == nullptr) return false;
    moveFocus(c);
    c->selectAll = true;
    if (text.empty()) return eraseBack(id);
    bool all = true;
    for (char ch : text) all = typeChar(id, ch) && all;
    return all;
}

bool DialogModel::eraseBack(int id) { return erase(id, true); }

bool DialogModel::eraseForward(int id) { return erase(id, false); }

// Backspace and Delete: a selected text goes as a whole; otherwise the
// character before (or at) the caret, when there is one.
bool DialogModel::erase(int id, bool backward) {
    Control* c = usable(id, ControlKind::Edit);
    if (c == nullptr) return false;
    moveFocus(c);
    if (c->selectAll) {
        c->text.clear();
        c->caret = 0;
        c->selectAll = false;
    } else if (backward && c->caret > 0 && c->caret <= c->text.size()) {
        c->text.erase(--c->caret, 1);
    } else if (!backward && c->caret < c->text.size()) {
        c->text.erase(c->caret, 1);
    } else {
        return false;
    }
    notify(*c, EN_CHANGE);
    return true;
}

bool DialogModel::moveCaret(int id, int delta) {
    Control* c = usable(id, ControlKind::Edit);
    if (c == nullptr) return false;
    moveFocus(c);
    c->selectAll = false;
    const long long next = static_cast<long long>(std::min(c->caret, c->text.size())) + delta;
    c->caret = static_cast<std::size_t>(
        std::clamp<long long>(next, 0, static_cast<long long>(c->text.size())));
    return true;
}

bool DialogModel::pressSpin(int id, bool up) {
    Control* c = usable(id, ControlKind::ScrollBar);
    if (c == nullptr) return false;
    const auto bar = reinterpret_cast<MessageLParam>(handleOf(*c));
    proc_(handle(), WM_VSCROLL, MakeWParam(up ? SB_LINEUP : SB_LINEDOWN, 0), bar);
    if (!ended_) proc_(handle(), WM_VSCROLL, MakeWParam(SB_ENDSCROLL, 0), bar);
    return true;
}

bool DialogModel::pressButton(int id) {
    Control* c = usable(id, ControlKind::PushButton);
    if (c == nullptr) return false;
    moveFocus(c);
    if (!ended_) notify(*c, BN_CLICKED);
    return true;
}

void DialogModel::pressEnter() {
    if (ended_) return;
    if (focus_ != nullptr && focus_->kind == ControlKind::ComboBox && focus_->dropped) {
        dropDown(focus_->id, false);
        return;
    }
    if (focus_ != nullptr && focus_->kind == ControlKind::PushButton) {
        notify(*focus_, BN_CLICKED);
        return;
    }
    for (Control& c : controls_) {
        if (c.defaultButton) {
            if (c.enabled) notify(c, BN_CLICKED);
            return;
        }
    }
    proc_(handle(), WM_COMMAND, MakeWParam(static_cast<std::uint16_t>(IDOK), BN_CLICKED), 0);
}

void DialogModel::pressEscape() {
    if (ended_) return;
    if (focus_ != nullptr && focus_->kind == ControlKind::ComboBox && focus_->dropped) {
        dropDown(focus_->id, false);
        return;
    }
    Control* cancel = item(static_cast<int>(IDCANCEL));
    proc_(handle(), WM_COMMAND, MakeWParam(static_cast<std::uint16_t>(IDCANCEL), BN_CLICKED),
          reinterpret_cast<MessageLParam>(cancel));
}

}  // namespace plclink::linux_dialog
