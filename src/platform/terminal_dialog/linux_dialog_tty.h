// The terminal a Linux dialog is drawn on: the process's controlling
// terminal, opened apart from standard input and output, so that a dialog
// also works when its caller's output goes into a pipe, a file or a shell
// variable.
#pragma once

#include <cstdio>
#include <string>

namespace plclink::linux_dialog {

class ControllingTerminal {
public:
    ControllingTerminal() = default;
    ~ControllingTerminal() { close(); }
    ControllingTerminal(const ControllingTerminal&) = delete;
    ControllingTerminal& operator=(const ControllingTerminal&) = delete;

    // Opens the controlling terminal and checks that the terminal type of
    // TERM can address the cursor. False with `missing` saying what is not
    // there: "needs a controlling terminal", or "needs a terminal with
    // cursor addressing (TERM=dumb has none)".
    bool open(std::string& missing);
    void close();

    int fd() const { return fd_; }
    std::FILE* in() const { return in_; }
    std::FILE* out() const { return out_; }
    const char* type() const { return type_.c_str(); }

    // Turns the interrupt character (Ctrl-C) into an ordinary key while the
    // terminal keeps every other setting; the terminal's state is restored
    // by whoever saved it before.
    void takeInterruptKey() const;

private:
    int fd_ = -1;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
    std::string type_;
};

}  // namespace plclink::linux_dialog
