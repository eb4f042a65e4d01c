// Reading one key: an Escape is followed at once by the rest of its sequence
// when a key sent one, so a short wait tells a lone Escape from a sequence.
#include "platform/terminal_dialog/linux_dialog_keys.h"

#include <curses.h>

namespace plclink::linux_dialog {
namespace {

// How long the bytes of one sequence may lie apart.
constexpr int kSequenceGapMs = 50;

bool IsFinalByte(int c) { return c >= 0x40 && c <= 0x7E; }

// Reads the rest of a sequence after its Escape and `first`: a control
// sequence (ESC [ parameters final), a single shift (ESC O x), one
// character (Alt-x), or Alt with a sequence (ESC ESC [ ...). Stops early
// when no byte follows.
void SkipSequence(int first) {
    if (first == kLoneEscape) {
        const int next = getch();
        if (next != ERR && next != kLoneEscape) SkipSequence(next);
    } else if (first == '[') {
        for (int c = getch(); c != ERR && !IsFinalByte(c); c = getch()) {
        }
    } else if (first == 'O') {
        getch();
    }
}

}  // namespace

int ReadKey() {
    const int key = getch();
    if (key != kLoneEscape) return key;
    timeout(kSequenceGapMs);
    const int next = getch();
    if (next != ERR) SkipSequence(next);
    timeout(-1);
    return next == ERR ? kLoneEscape : kUnknownKey;
}

}  // namespace plclink::linux_dialog
