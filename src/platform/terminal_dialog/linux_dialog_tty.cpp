// Opening the controlling terminal for a dialog and telling what is missing
// when it cannot serve.
#include "platform/terminal_dialog/linux_dialog_tty.h"

#include <curses.h>
#include <fcntl.h>
#include <term.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace plclink::linux_dialog {
namespace {

// Whether the terminfo entry of `type` can move the cursor to a given place.
// Empty when it can; otherwise the words for the caller's message.
std::string CursorAddressingMissing(const char* type, int fd) {
    if (type == nullptr || *type == '\0') return "TERM is not set";
    TERMINAL* saved = cur_term;
    int status = 0;
    if (setupterm(type, fd, &status) != OK) {
        set_curterm(saved);
        return "TERM=" + std::string(type) + " is not known";
    }
    TERMINAL* probe = cur_term;
    char* cup = tigetstr(const_cast<char*>("cup"));
    const bool addressable = cup != nullptr && cup != reinterpret_cast<char*>(-1);
    set_curterm(saved);
    del_curterm(probe);
    return addressable ? std::string() : "TERM=" + std::string(type) + " has none";
}

}  // namespace

bool ControllingTerminal::open(std::string& missing) {
    close();
    fd_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        missing = "needs a controlling terminal";
        return false;
    }
    const char* type = std::getenv("TERM");
    const std::string lacking = CursorAddressingMissing(type, fd_);
    if (!lacking.empty()) {
        missing = "needs a terminal with cursor addressing (" + lacking + ")";
        close();
        return false;
    }
    type_ = type;
    // Two streams on the one terminal: ncurses reads from one and writes to
    // the other.
    const int inFd = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    out_ = fdopen(fd_, "w");
    in_ = inFd >= 0 ? fdopen(inFd, "r") : nullptr;
    if (out_ == nullptr || in_ == nullptr) {
        if (in_ == nullptr && inFd >= 0) ::close(inFd);
        missing = "needs a controlling terminal that can be opened";
        close();
        return false;
    }
    return true;
}

void ControllingTerminal::close() {
    if (out_ != nullptr) {
        std::fclose(out_);  // closes fd_
        out_ = nullptr;
        fd_ = -1;
    }
    if (in_ != nullptr) {
        std::fclose(in_);
        in_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    type_.clear();
}

void ControllingTerminal::takeInterruptKey() const {
    termios mode{};
    if (fd_ < 0 || tcgetattr(fd_, &mode) != 0) return;
    mode.c_cc[VINTR] = _POSIX_VDISABLE;
    tcsetattr(fd_, TCSANOW, &mode);
}

}  // namespace plclink::linux_dialog
