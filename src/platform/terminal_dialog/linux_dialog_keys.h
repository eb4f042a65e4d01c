// Keys from the terminal as the dialog takes them: what ncurses decodes
// passes through; Escape counts only when it comes alone, and an escape
// sequence that ncurses does not know (Alt-x, or Home and End of a terminal
// whose description says otherwise) is read whole and reported as one
// unknown key, so that none of its bytes is taken for a key of its own.
#pragma once

namespace plclink::linux_dialog {

inline constexpr int kLoneEscape = 27;
inline constexpr int kUnknownKey = -2;
inline constexpr int kInterruptKey = 3;  // Ctrl-C

// The next key of the current ncurses screen, waiting for it; ERR when the
// read failed (errno tells why). Leaves the screen in blocking reads.
int ReadKey();

}  // namespace plclink::linux_dialog
