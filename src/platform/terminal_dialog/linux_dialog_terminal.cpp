// The terminal face of the Linux dialog: draws the control model with
// ncurses in the template's arrangement on the controlling terminal (not on
// standard output, which stays the caller's) and turns keys into the user's
// actions. Tab and Shift-Tab move the focus in template order; the arrow
// keys step lists, combos and the spin arrows beside an edit; Space or F4
// opens a combo's list; Enter presses the focused button, else OK; a lone
// Escape is Cancel; keys it does not know are ignored with a beep. Ctrl-C
// cancels too and, once the terminal is given back, is delivered to the
// process as the interrupt it would have been. Message boxes are modal boxes
// over the dialog. A terminal too small for the dialog shows what it needs
// instead, until it is large enough again. The terminal is given back as it
// was when the dialog closes.
#include <curses.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "dialog/window_messages.h"
#include "platform/terminal_dialog/linux_dialog_face.h"
#include "platform/terminal_dialog/linux_dialog_keys.h"
#include "platform/terminal_dialog/linux_dialog_layout.h"
#include "platform/terminal_dialog/linux_dialog_tty.h"

namespace plclink::linux_dialog {
namespace {

// Consecutive failed reads after which the input is taken as gone.
constexpr int kDeadInputReads = 3;
constexpr int kBackspace = 8;
constexpr int kDelete = 127;

// Arrows in plain characters: every terminal shows them, in every locale.
constexpr chtype kUpArrow = '^';
constexpr chtype kDownArrow = 'v';
// A disabled control's arrows: nothing to press there.
constexpr chtype kNoArrow = '-';

// ncurses catches SIGINT and SIGTERM for itself when the process left them
// at their defaults, and would end the process with status 1 on them even
// after the dialog: the host's own handling is put back when it closes.
class SavedStopSignals {
public:
    void save() {
        sigaction(SIGINT, nullptr, &interrupt_);
        sigaction(SIGTERM, nullptr, &terminate_);
    }
    void restore() const {
        sigaction(SIGINT, &interrupt_, nullptr);
        sigaction(SIGTERM, &terminate_, nullptr);
    }

private:
    struct sigaction interrupt_ {};
    struct sigaction terminate_ {};
};

std::string SizeText(int columns, int rows) {
    return std::to_string(columns) + "x" + std::to_string(rows);
}

class TerminalDialogFace final : public DialogFace {
public:
    bool open(DialogModel& dialog) override;
    void run(DialogModel& dialog) override;
    void close(DialogModel& dialog) override;
    int messageBox(DialogModel* owner, const char* text, const char* caption,
                   std::uint32_t type) override;
    const char* whyNotShown() const override {
        return missing_.empty() ? nullptr : missing_.c_str();
    }

private:
    bool fits() const { return LINES >= need_.height && COLS >= need_.width; }
    void drawTooSmall();
    void draw(DialogModel& dialog);
    void drawControl(DialogModel& dialog, const Control& c);
    void drawDroppedList(const Control& combo);
    void drawFrame(int height, int width, const std::string& caption);
    void put(int row, int col, const std::string& text, attr_t attributes = A_NORMAL);
    void handleKey(DialogModel& dialog, int key);
    void typeInCombo(DialogModel& dialog, Control& combo, int key);

    ControllingTerminal terminal_;
    SavedStopSignals signals_;
    SCREEN* screen_ = nullptr;
    DialogModel* shown_ = nullptr;
    CellBox need_{};          // the dialog's frame: the least the screen must hold
    int top_ = 0, left_ = 0;  // the dialog's frame on the screen
    bool interrupted_ = false;
    std::string missing_;
};

void TerminalDialogFace::put(int row, int col, const std::string& text, attr_t attributes) {
    attron(attributes);
    mvaddnstr(top_ + row, left_ + col, text.c_str(), static_cast<int>(text.size()));
    attroff(attributes);
}

bool TerminalDialogFace::open(DialogModel& dialog) {
    missing_.clear();
    if (screen_ != nullptr) {
        missing_ = "is already open";
        return false;
    }
    if (!terminal_.open(missing_)) return false;
    std::fflush(stdout);
    signals_.save();
    screen_ = newterm(terminal_.type(), terminal_.out(), terminal_.in());
    if (screen_ == nullptr) {
        missing_ = "needs a terminal that ncurses can start on";
        signals_.restore();
        terminal_.close();
        return false;
    }
    set_term(screen_);
    need_ = DialogCells(dialog.layout());
    if (!fits()) {
        missing_ = "needs at least " + SizeText(need_.width, need_.height) + ", this one is " +
                   SizeText(COLS, LINES);
        endwin();
        delscreen(screen_);
        screen_ = nullptr;
        signals_.restore();
        terminal_.close();
        return false;
    }
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(100);  // Escape alone, yet room for a key sequence sent slowly
    terminal_.takeInterruptKey();
    def_prog_mode();
    interrupted_ = false;
    shown_ = &dialog;
    return true;
}

void TerminalDialogFace::close(DialogModel&) {
    if (screen_ == nullptr) return;
    curs_set(1);
    endwin();
    delscreen(screen_);
    screen_ = nullptr;
    shown_ = nullptr;
    terminal_.close();
    signals_.restore();
    if (interrupted_) {
        interrupted_ = false;
        raise(SIGINT);
    }
}

void TerminalDialogFace::run(DialogModel& dialog) {
    int deadReads = 0;
    while (!dialog.ended()) {
        draw(dialog);
        errno = 0;
        const int key = ReadKey();
        if (key == ERR) {
            // A signal the process handles ends the dialog, so the process
            // can act on it; input that is gone ends it too, since the user
            // can no longer answer.
            if (errno == EINTR || ++deadReads >= kDeadInputReads) dialog.end(win::IDCANCEL);
            continue;
        }
        deadReads = 0;
        handleKey(dialog, key);
    }
}

void TerminalDialogFace::typeInCombo(DialogModel& dialog, Control& combo, int key) {
    // A letter chooses the next item that begins with it.
    const int count = static_cast<int>(combo.items.size());
    for (int step = 1; step <= count; ++step) {
        const int index = (std::max(combo.choice, -1) + step + count) % count;
        const std::string& item = combo.items[static_cast<std::size_t>(index)];
        if (!item.empty() && std::toupper(static_cast<unsigned char>(item[0])) ==
                                 std::toupper(key)) {
            dialog.chooseItem(combo.id, index);
            return;
        }
    }
}

void TerminalDialogFace::handleKey(DialogModel& dialog, int key) {
    if (key == kInterruptKey) {
        interrupted_ = true;
        return dialog.end(win::IDCANCEL);
    }
    if (key == KEY_RESIZE) return;
    if (key == kLoneEscape) return dialog.pressEscape();
    // Nothing else acts on a dialog the user cannot see.
    if (!fits()) return;
    if (key == kUnknownKey) return void(beep());
    if (key == '\t') return dialog.focusNext(false);
    if (key == KEY_BTAB) return dialog.focusNext(true);
    if (key == '\r' || key == '\n' || key == KEY_ENTER) return dialog.pressEnter();
    Control* c = dialog.focused();
    if (c == nullptr) return;
    const int up = key == KEY_UP ? -1 : key == KEY_DOWN ? 1 : 0;
    switch (c->kind) {
    case ControlKind::Edit:
        if (up != 0) {
            if (Control* spin = SpinOf(dialog, *c)) dialog.pressSpin(spin->id, up < 0);
        } else if (key == KEY_LEFT || key == KEY_RIGHT) {
            dialog.moveCaret(c->id, key == KEY_LEFT ? -1 : 1);
        } else if (key == KEY_HOME || key == KEY_END) {
            dialog.moveCaret(c->id, key == KEY_HOME ? INT_MIN / 2 : INT_MAX / 2);
        } else if (key == KEY_BACKSPACE || key == kDelete || key == kBackspace) {
            dialog.eraseBack(c->id);
        } else if (key == KEY_DC) {
            dialog.eraseForward(c->id);
        } else if (key >= 0x20 && key <= 0x7E) {
            if (!dialog.typeChar(c->id, static_cast<char>(key))) beep();
        }
        return;
    case ControlKind::ComboBox:
        if (up != 0 || key == KEY_LEFT || key == KEY_RIGHT)
            dialog.stepChoice(c->id, up != 0 ? up : key == KEY_LEFT ? -1 : 1);
        else if (key == ' ' || key == KEY_F(4))
            dialog.dropDown(c->id, !c->dropped);
        else if (key > 0x20 && key <= 0x7E)
            typeInCombo(dialog, *c, key);
        return;
    case ControlKind::ListBox:
        if (up != 0) dialog.stepChoice(c->id, up);
        return;
    case ControlKind::PushButton:
        if (key == ' ') dialog.pressButton(c->id);
        return;
    default:
        return;
    }
}

// Splits a message into lines of at most `width` characters, at blanks where
// it can; the blanks at a break are dropped, every other character is kept.
std::vector<std::string> WrapMessage(const std::string& text, int width) {
    std::vector<std::string> textLines;
    std::size_t start = 0;
    const auto w = static_cast<std::size_t>(std::max(width, 1));
    while (text.size() - start > w) {
        std::size_t cut = text.rfind(' ', start + w);
        if (cut == std::string::npos || cut <= start) cut = start + w;
        std::size_t end = cut;
        while (end > start && text[end - 1] == ' ') --end;
        textLines.push_back(text.substr(start, end - start));
        start = cut;
        while (start < text.size() && text[start] == ' ') ++start;
    }
    if (start < text.size() || textLines.empty()) textLines.push_back(text.substr(start));
    return textLines;
}

void TerminalDialogFace::drawTooSmall() {
    erase();
    // Phrase by phrase, so that the sizes stay whole on a narrow screen.
    const std::string phrases[] = {
        "The dialog needs at least " + SizeText(need_.width, need_.height) + ",",
        "this one is " + SizeText(COLS, LINES) + ".",
        "Enlarge it, or press Escape to cancel.",
    };
    int row = 0;
    for (const std::string& phrase : phrases) {
        for (const std::string& line : WrapMessage(phrase, COLS)) {
            if (row < LINES) mvaddnstr(row, 0, line.c_str(), COLS);
            ++row;
        }
    }
    curs_set(0);
    refresh();
}

void TerminalDialogFace::drawFrame(int height, int width, const std::string& caption) {
    mvwhline(stdscr, top_, left_ + 1, ACS_HLINE, width - 2);
    mvwhline(stdscr, top_ + height - 1, left_ + 1, ACS_HLINE, width - 2);
    mvwvline(stdscr, top_ + 1, left_, ACS_VLINE, height - 2);
    mvwvline(stdscr, top_ + 1, left_ + width - 1, ACS_VLINE, height - 2);
    mvaddch(top_, left_, ACS_ULCORNER);
    mvaddch(top_, left_ + width - 1, ACS_URCORNER);
    mvaddch(top_ + height - 1, left_, ACS_LLCORNER);
    mvaddch(top_ + height - 1, left_ + width - 1, ACS_LRCORNER);
    put(0, 2, " " + caption + " ", A_BOLD);
}

void TerminalDialogFace::draw(DialogModel& dialog) {
    if (!fits()) return drawTooSmall();
    const CellBox frame = need_;
    top_ = std::max(0, (LINES - frame.height) / 2);
    left_ = std::max(0, (COLS - frame.width) / 2);
    erase();
    for (int row = 0; row < frame.height; ++row) put(row, 0, std::string(frame.width, ' '));
    attron(A_BOLD);
    drawFrame(frame.height, frame.width, dialog.layout().caption);
    attroff(A_BOLD);
    for (const Control& c : dialog.controls()) drawControl(dialog, c);
    // An open list lies over whatever is below its combo.
    Control* focus = dialog.focused();
    if (focus != nullptr && focus->kind == ControlKind::ComboBox && focus->dropped)
        drawDroppedList(*focus);
    // The cursor stands in the focused edit, at its caret.
    if (focus != nullptr && focus->kind == ControlKind::Edit) {
        const CellBox box = ControlCells(*focus->layout);
        const int caret = static_cast<int>(std::min(focus->caret, focus->text.size()));
        curs_set(1);
        move(top_ + box.row, left_ + box.col + std::min(caret, box.width - 1));
    } else {
        curs_set(0);
    }
    refresh();
}

std::string Fit(const std::string& text, int width) {
    std::string out = text.substr(0, static_cast<std::size_t>(std::max(width, 0)));
    out.resize(static_cast<std::size_t>(std::max(width, 0)), ' ');
    return out;
}

std::string Centered(const std::string& text, int width) {
    const int pad = std::max(0, (width - static_cast<int>(text.size())) / 2);
    return Fit(std::string(static_cast<std::size_t>(pad), ' ') + text, width);
}

int ComboWidth(const Control& c, int templateWidth) {
    int longest = 0;
    for (const std::string& item : c.items) longest = std::max(longest, static_cast<int>(item.size()));
    return std::max(templateWidth, longest + 2);
}

// A disabled control is dimmed where the terminal can, and everywhere shown
// without the underline of a field and with dashes in place of its arrows.
void TerminalDialogFace::drawControl(DialogModel& dialog, const Control& c) {
    const CellBox box = ControlCells(*c.layout);
    const bool focused = dialog.focused() == &c;
    const attr_t shade = c.enabled ? A_NORMAL : A_DIM;
    const attr_t field = c.enabled ? A_UNDERLINE : A_NORMAL;
    const chtype up = c.enabled ? kUpArrow : kNoArrow;
    const chtype down = c.enabled ? kDownArrow : kNoArrow;
    switch (c.kind) {
    case ControlKind::Static:
        put(box.row, box.col, Fit(c.text, std::max(box.width, static_cast<int>(c.text.size()))),
            shade);
        return;
    case ControlKind::GroupBox: {
        const int right = left_ + box.col + box.width - 1;
        const int bottom = top_ + box.row + box.height - 1;
        mvwhline(stdscr, top_ + box.row, left_ + box.col + 1, ACS_HLINE, box.width - 2);
        mvwhline(stdscr, bottom, left_ + box.col + 1, ACS_HLINE, box.width - 2);
        mvwvline(stdscr, top_ + box.row + 1, left_ + box.col, ACS_VLINE, box.height - 2);
        mvwvline(stdscr, top_ + box.row + 1, right, ACS_VLINE, box.height - 2);
        mvaddch(top_ + box.row, left_ + box.col, ACS_ULCORNER);
        mvaddch(top_ + box.row, right, ACS_URCORNER);
        mvaddch(bottom, left_ + box.col, ACS_LLCORNER);
        mvaddch(bottom, right, ACS_LRCORNER);
        if (!c.text.empty()) put(box.row, box.col + 1, c.text);
        return;
    }
    case ControlKind::Edit:
        // From its first character: what the dialog reads from it.
        put(box.row, box.col, Fit(c.text, std::max(box.width, 2)),
            shade | field | (focused && c.selectAll ? A_REVERSE : A_NORMAL));
        return;
    case ControlKind::ScrollBar:
        attron(shade);
        mvaddch(top_ + box.row, left_ + box.col, up);
        mvaddch(top_ + box.row, left_ + box.col + 1, down);
        attroff(shade);
        return;
    case ControlKind::ComboBox: {
        const int width = ComboWidth(c, box.width);
        std::string chosen;
        if (c.choice >= 0 && static_cast<std::size_t>(c.choice) < c.items.size())
            chosen = c.items[static_cast<std::size_t>(c.choice)];
        put(box.row, box.col, Fit(chosen, width - 2), shade | (focused ? A_REVERSE : field));
        put(box.row, box.col + width - 2, " ", shade);
        attron(shade);
        mvaddch(top_ + box.row, left_ + box.col + width - 1, down);
        attroff(shade);
        return;
    }
    case ControlKind::ListBox: {
        // One item high: the top item, and the list's own arrows.
        std::string topItem;
        if (c.topIndex >= 0 && static_cast<std::size_t>(c.topIndex) < c.items.size())
            topItem = c.items[static_cast<std::size_t>(c.topIndex)];
        put(box.row, box.col, Fit(topItem, box.width - 2), shade | (focused ? A_REVERSE : field));
        attron(shade);
        mvaddch(top_ + box.row, left_ + box.col + box.width - 2, up);
        mvaddch(top_ + box.row, left_ + box.col + box.width - 1, down);
        attroff(shade);
        return;
    }
    case ControlKind::PushButton: {
        const std::string face = c.defaultButton ? "[ " + c.text + " ]" : "< " + c.text + " >";
        put(box.row, box.col, Centered(face, box.width), shade | (focused ? A_REVERSE : A_BOLD));
        return;
    }
    }
}

void TerminalDialogFace::drawDroppedList(const Control& combo) {
    const CellBox box = ControlCells(*combo.layout);
    const int width = ComboWidth(combo, box.width);
    const int rows = std::min(static_cast<int>(combo.items.size()), DroppedRows(*combo.layout));
    const int firstItem =
        std::clamp(combo.choice - rows + 1, 0, std::max(0, static_cast<int>(combo.items.size()) - rows));
    for (int i = 0; i < rows; ++i) {
        const int index = firstItem + i;
        const attr_t look = index == combo.choice ? A_REVERSE : A_NORMAL;
        // Appended rather than "|" + text: GCC 12 warns falsely about the
        // latter (-Wrestrict, GCC bug 105651).
        std::string row = "|";
        row += Fit(combo.items[static_cast<std::size_t>(index)], width - 2);
        row += '|';
        put(box.row + 1 + i, box.col, row, look);
    }
    std::string bottom = "+";
    bottom.append(static_cast<std::size_t>(width - 2), '-');
    bottom += '+';
    put(box.row + 1 + rows, box.col, bottom);
}

int TerminalDialogFace::messageBox(DialogModel*, const char* text, const char* caption,
                                   std::uint32_t) {
    if (screen_ == nullptr) return 0;
    // After Ctrl-C the dialog is on its way out: no more messages.
    if (interrupted_ || (shown_ != nullptr && shown_->ended())) return static_cast<int>(win::IDOK);
    const std::string message = text;
    const std::string button = "[ OK ]";
    const int saveTop = top_, saveLeft = left_;
    for (;;) {
        if (shown_ != nullptr) draw(*shown_);
        const int textWidth = std::max(16, std::min(COLS - 6, static_cast<int>(message.size())));
        const std::vector<std::string> textLines = WrapMessage(message, textWidth);
        const int width = textWidth + 4;
        const int height = static_cast<int>(textLines.size()) + 4;
        const bool visible = fits();
        if (visible) {
            top_ = std::max(0, (LINES - height) / 2);
            left_ = std::max(0, (COLS - width) / 2);
            for (int row = 0; row < height; ++row)
                put(row, 0, std::string(static_cast<std::size_t>(width), ' '));
            drawFrame(height, width, caption);
            for (std::size_t i = 0; i < textLines.size(); ++i)
                put(static_cast<int>(i) + 1, 2, textLines[i]);
            put(height - 2, (width - static_cast<int>(button.size())) / 2, button, A_REVERSE);
            curs_set(0);
            refresh();
        }
        top_ = saveTop;
        left_ = saveLeft;
        errno = 0;
        const int key = ReadKey();
        if (key == kInterruptKey || (key == ERR && errno == EINTR)) {
            interrupted_ = key == kInterruptKey;
            if (shown_ != nullptr) shown_->end(win::IDCANCEL);
            break;
        }
        if (key == ERR || key == kLoneEscape) break;
        if (visible && (key == '\r' || key == '\n' || key == KEY_ENTER || key == ' ' ||
                        key == 'o' || key == 'O'))
            break;
        if (visible && key == kUnknownKey) beep();
    }
    return static_cast<int>(win::IDOK);
}

DialogFace* installedFace = nullptr;

}  // namespace

DialogFace& TerminalFace() {
    static TerminalDialogFace face;
    return face;
}

DialogFace& CurrentFace() { return installedFace != nullptr ? *installedFace : TerminalFace(); }

DialogFace* InstallFace(DialogFace* face) {
    DialogFace* previous = installedFace;
    installedFace = face;
    return previous;
}

}  // namespace plclink::linux_dialog
