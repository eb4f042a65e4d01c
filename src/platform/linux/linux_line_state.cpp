// The driver's line state over termios: raw binary mode, parity checking,
// no flow control, DTR and RTS as the control modes say.
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "platform/linux/linux_serial_port.h"

namespace plclink::linux_platform {
namespace {

struct BaudConstant {
    std::uint32_t baud;
    speed_t constant;
};

constexpr BaudConstant kBaudConstants[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedConstantOf(std::uint32_t baud, speed_t* constant) {
    for (const BaudConstant& b : kBaudConstants) {
        if (b.baud == baud) {
            *constant = b.constant;
            return true;
        }
    }
    return false;
}

std::uint32_t BaudOf(int fd, speed_t constant) {
    for (const BaudConstant& b : kBaudConstants)
        if (b.constant == constant) return b.baud;
    return CustomBaudOf(fd);
}

constexpr tcflag_t kSizeFlags[] = {CS5, CS6, CS7, CS8};

// The character format bits a state asks for; false when it cannot be had
// (one and a half stop bits, unknown codes).
bool FormatFlagsOf(const LineState& state, tcflag_t* flags) {
    if (state.byteSize < 5 || state.byteSize > 8) return false;
    tcflag_t f = kSizeFlags[state.byteSize - 5];
    switch (state.stopBits) {
        case 0: break;
        case 2: f |= CSTOPB; break;
        default: return false;
    }
    switch (state.parity) {
        case 0: break;
        case 1: f |= PARENB | PARODD; break;
        case 2: f |= PARENB; break;
        case 3: f |= PARENB | CMSPAR | PARODD; break;
        case 4: f |= PARENB | CMSPAR; break;
        default: return false;
    }
    *flags = f;
    return true;
}

constexpr tcflag_t kFormatMask = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;
// A pseudo-terminal always carries 8 data bits and no parity.
constexpr tcflag_t kPseudoTerminalFormatMask = CSTOPB;

void MakeRaw(termios& t, const LineState& state) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR |
                                        IGNCR | ICRNL | IXON | IXOFF | IXANY);
    if (state.parityCheck) {
        t.c_iflag |= INPCK;
    } else {
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    }
    if (state.outX) t.c_iflag |= IXON;
    if (state.inX) t.c_iflag |= IXOFF;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    // DTR drops when the port closes, as it was raised while open.
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL | CRTSCTS);
    if (state.dtrControl != 0) t.c_cflag |= HUPCL;
    if (state.rtsControl == 2 || state.outxCtsFlow) t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

// Raises or drops a modem line as the control mode says. A pseudo-terminal
// and some adapters have no such line; the state holds all the same.
void DriveModemLine(int fd, int line, bool raise) {
    int bits = line;
    (void)ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &bits);
}

std::uint8_t ByteSizeOf(tcflag_t cflag) {
    for (std::uint8_t i = 0; i < 4; ++i)
        if ((cflag & CSIZE) == kSizeFlags[i]) return static_cast<std::uint8_t>(5 + i);
    return 8;
}

}  // namespace

bool ReadLineState(const SerialPort& port, LineState* state) {
    termios t;
    if (tcgetattr(port.fd, &t) != 0) return false;
    LineState s = port.state;
    s.baudRate = BaudOf(port.fd, cfgetospeed(&t));
    s.byteSize = ByteSizeOf(t.c_cflag);
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    if ((t.c_cflag & PARENB) == 0) s.parity = 0;
    else if (t.c_cflag & CMSPAR) s.parity = (t.c_cflag & PARODD) ? 3 : 4;
    else s.parity = (t.c_cflag & PARODD) ? 1 : 2;
    s.binary = true;
    s.parityCheck = (t.c_iflag & INPCK) != 0;
    s.outxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    s.outX = (t.c_iflag & IXON) != 0;
    s.inX = (t.c_iflag & IXOFF) != 0;
    *state = s;
    return true;
}

bool WriteLineState(SerialPort& port, const LineState& state) {
    tcflag_t format = 0;
    speed_t speed = 0;
    const bool standardSpeed = SpeedConstantOf(state.baudRate, &speed);
    if (!FormatFlagsOf(state, &format) || state.baudRate == 0) {
        errno = EINVAL;
        return false;
    }
    const tcflag_t checked = port.pseudoTerminal ? kPseudoTerminalFormatMask : kFormatMask;
    if (port.pseudoTerminal) format = (format & ~kFormatMask) | CS8 | (format & CSTOPB);

    termios t;
    if (tcgetattr(port.fd, &t) != 0) return false;
    MakeRaw(t, state);
    t.c_cflag = (t.c_cflag & ~kFormatMask) | format;
    if (standardSpeed) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    if (tcsetattr(port.fd, TCSANOW, &t) != 0) return false;
    if (!standardSpeed && !SetCustomBaud(port.fd, state.baudRate)) return false;

    // The device may have taken only part of it.
    termios now;
    if (tcgetattr(port.fd, &now) != 0) return false;
    const std::uint32_t baudNow = standardSpeed ? (cfgetospeed(&now) == speed ? state.baudRate : 0)
                                                : CustomBaudOf(port.fd);
    if ((now.c_cflag & checked) != (format & checked) || baudNow != state.baudRate) {
        errno = EINVAL;
        return false;
    }
    if (state.dtrControl == 0 || state.dtrControl == 1)
        DriveModemLine(port.fd, TIOCM_DTR, state.dtrControl == 1);
    if (state.rtsControl == 0 || state.rtsControl == 1)
        DriveModemLine(port.fd, TIOCM_RTS, state.rtsControl == 1);
    port.state = state;
    return true;
}

}  // namespace plclink::linux_platform
