// Serial ports on Linux over termios. A port is opened without blocking on
// carrier, locked for exclusive use (flock, which also holds against root,
// and TIOCEXCL), then used with blocking writes and reads that wait with
// poll() against the port's total read time-out.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <set>

#include "platform/linux/linux_parts.h"
#include "platform/linux/linux_serial_port.h"

namespace plclink::linux_platform {
namespace {

// The error of the last failing operation, for lastError().
thread_local int lastErrno = 0;

bool Fail(int error) {
    lastErrno = error;
    return false;
}

// Handles of the ports open now. A handle that is not here (closed, never
// opened, the null line) fails every operation instead of being followed.
std::set<LineHandle>& OpenHandles() {
    static std::set<LineHandle> handles;
    return handles;
}

SerialPort* PortOf(LineHandle handle) {
    if (OpenHandles().count(handle) == 0) return nullptr;
    return reinterpret_cast<SerialPort*>(handle);
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have majors 136..143.
bool IsPseudoTerminal(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

std::uint64_t NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u;
}

bool OpenPort(const char* portName, LineHandle* handleOut) {
    *handleOut = kNullLine;
    const std::string path = DevicePathOf(portName);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Fail(errno);
    const bool terminal = isatty(fd) == 1;
    if (terminal) {
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno == EWOULDBLOCK ? EBUSY : errno;
            close(fd);
            return Fail(error);
        }
        (void)ioctl(fd, TIOCEXCL);
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        close(fd);
        return Fail(error);
    }
    auto* port = new SerialPort;
    port->fd = fd;
    port->terminal = terminal;
    port->pseudoTerminal = terminal && IsPseudoTerminal(fd);
    port->state.dtrControl = 1;  // a port opens with DTR and RTS raised
    port->state.rtsControl = 1;
    const auto handle = reinterpret_cast<LineHandle>(port);
    OpenHandles().insert(handle);
    *handleOut = handle;
    return true;
}

// A port whose close failed stays known, without its descriptor (Linux
// releases it whatever close reports), so that its handle never aliases a
// later port; the next close forgets it.
bool ClosePort(LineHandle handle) {
    SerialPort* port = PortOf(handle);
    if (port == nullptr) return Fail(EBADF);
    if (port->fd < 0) {
        OpenHandles().erase(handle);
        delete port;
        return true;
    }
    // TIOCEXCL outlives the descriptor on some devices: clear it first.
    if (port->terminal) (void)ioctl(port->fd, TIOCNXCL);
    const int fd = port->fd;
    port->fd = -1;
    if (close(fd) != 0) return Fail(errno);
    OpenHandles().erase(handle);
    delete port;
    return true;
}

SerialPort* TerminalOf(LineHandle handle) {
    SerialPort* port = PortOf(handle);
    if (port == nullptr || port->fd < 0) {
        lastErrno = EBADF;
        return nullptr;
    }
    if (!port->terminal) {
        lastErrno = ENOTTY;
        return nullptr;
    }
    return port;
}

bool GetLineState(LineHandle handle, LineState* state) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    return ReadLineState(*port, state) || Fail(errno);
}

bool SetLineState(LineHandle handle, const LineState* state) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    return WriteLineState(*port, *state) || Fail(errno);
}

bool GetTimeouts(LineHandle handle, LineTimeouts* timeouts) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    *timeouts = port->timeouts;
    return true;
}

bool SetTimeouts(LineHandle handle, const LineTimeouts* timeouts) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    port->timeouts = *timeouts;
    return true;
}

// The kernel's queues are its own size; the request is only checked.
bool SetupQueues(LineHandle handle, std::uint32_t, std::uint32_t) {
    return TerminalOf(handle) != nullptr;
}

bool SetEventMask(LineHandle handle, std::uint32_t mask) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    port->eventMask = mask;
    return true;
}

// The only event there is to wait for: the transmitter has sent the last
// byte. With an empty mask there is nothing to wait on.
bool WaitEvent(LineHandle handle, std::uint32_t* events) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    if (port->eventMask == 0) return Fail(EINVAL);
    *events = 0;
    if ((port->eventMask & kEventTxEmpty) == 0) return true;
    while (tcdrain(port->fd) != 0) {
        if (errno != EINTR) return Fail(errno);
    }
    *events = kEventTxEmpty;
    return true;
}

bool ClearErrors(LineHandle handle, std::uint32_t* errors, std::uint32_t* bytesWaiting) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    int waiting = 0;
    if (ioctl(port->fd, FIONREAD, &waiting) != 0) return Fail(errno);
    *errors = 0;
    *bytesWaiting = waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0;
    return true;
}

bool EscapeFunction(LineHandle handle, std::uint32_t function) {
    SerialPort* port = TerminalOf(handle);
    if (port == nullptr) return false;
    int bits = 0;
    unsigned long request = 0;
    switch (function) {
        case kEscapeSetRts: bits = TIOCM_RTS; request = TIOCMBIS; break;
        case kEscapeClrRts: bits = TIOCM_RTS; request = TIOCMBIC; break;
        case kEscapeSetDtr: bits = TIOCM_DTR; request = TIOCMBIS; break;
        case kEscapeClrDtr: bits = TIOCM_DTR; request = TIOCMBIC; break;
        default: return Fail(EINVAL);
    }
    if (ioctl(port->fd, request, &bits) == 0) return true;
    // A pseudo-terminal has no modem lines: nothing to drive.
    if (port->pseudoTerminal) return true;
    return Fail(errno);
}

// When a read ends: the total time-out counts from the start of the call;
// an interval time-out also ends it after a gap between two bytes.
struct ReadDeadline {
    bool bounded;
    std::uint64_t totalEnd;
    std::uint32_t interval;  // 0 = none
};

ReadDeadline DeadlineOf(const LineTimeouts& t, std::uint32_t length, std::uint64_t start) {
    const std::uint64_t total = std::uint64_t{t.readTotalMultiplier} * length +
                                t.readTotalConstant;
    const std::uint32_t interval = t.readInterval == UINT32_MAX ? 0 : t.readInterval;
    return {total != 0, start + total, interval};
}

// Waits for input until `end` (or for ever when not bounded); 1 readable,
// 0 timed out, -1 failed. A deadline already passed still looks once.
int WaitReadable(int fd, bool bounded, std::uint64_t end) {
    for (;;) {
        int waitMs = -1;
        if (bounded) {
            const std::uint64_t now = NowMs();
            const std::uint64_t left = now >= end ? 0 : end - now;
            waitMs = left > 60000 ? 60000 : static_cast<int>(left);
        }
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, waitMs);
        if (r > 0) return 1;
        if (r < 0 && errno != EINTR) return -1;
        if (r == 0 && NowMs() >= end) return 0;
    }
}

bool ReadPort(LineHandle handle, void* buffer, std::uint32_t length, std::uint32_t* got) {
    *got = 0;
    SerialPort* port = PortOf(handle);
    if (port == nullptr || port->fd < 0) return Fail(EBADF);
    const LineTimeouts& t = port->timeouts;
    // An interval of all bits with no total time-out: what is there, at once.
    const bool immediate = t.readInterval == UINT32_MAX && t.readTotalMultiplier == 0 &&
                           t.readTotalConstant == 0;
    const ReadDeadline deadline = DeadlineOf(t, length, NowMs());
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (*got < length) {
        bool bounded = deadline.bounded || immediate;
        std::uint64_t end = immediate ? NowMs() : deadline.totalEnd;
        if (deadline.interval != 0 && *got > 0) {
            const std::uint64_t gapEnd = NowMs() + deadline.interval;
            if (!bounded || gapEnd < end) end = gapEnd;
            bounded = true;
        }
        const int ready = WaitReadable(port->fd, bounded, end);
        if (ready < 0) return Fail(errno);
        if (ready == 0) break;
        const ssize_t n = read(port->fd, bytes + *got, length - *got);
        if (n > 0) {
            *got += static_cast<std::uint32_t>(n);
        } else if (n == 0) {
            break;  // end of file (the null device)
        } else if (errno != EINTR && errno != EAGAIN) {
            return Fail(errno);
        }
    }
    return true;
}

// Writes have no time-out: the call returns when every byte is handed to
// the kernel, or with the count so far when the device fails.
bool WritePort(LineHandle handle, const void* buffer, std::uint32_t length,
               std::uint32_t* written) {
    *written = 0;
    SerialPort* port = PortOf(handle);
    if (port == nullptr || port->fd < 0) return Fail(EBADF);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (*written < length) {
        const ssize_t n = write(port->fd, bytes + *written, length - *written);
        if (n > 0) {
            *written += static_cast<std::uint32_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{port->fd, POLLOUT, 0};
            (void)poll(&p, 1, -1);
        } else {
            const int error = n < 0 ? errno : EIO;
            if (*written > 0) break;
            return Fail(error);
        }
    }
    return true;
}

std::uint32_t LastError() { return static_cast<std::uint32_t>(lastErrno); }

}  // namespace

void FillLineOps(PlatformOps& ops) {
    static constexpr LineBackend kSerialBackend{
        ClosePort,   GetLineState, SetLineState, GetTimeouts,    SetTimeouts, SetupQueues,
        SetEventMask, WaitEvent,   ClearErrors,  EscapeFunction, ReadPort,    WritePort};
    RouteLineOps(ops, OpenPort, kSerialBackend, TcpLineOpener(LinuxSockets()), TcpLineBackend());
    ops.lastError = LastError;
}

}  // namespace plclink::linux_platform
