#include "ppisim/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace ppisim {
namespace {

struct BaudCode {
    unsigned baud;
    speed_t code;
};

constexpr BaudCode kBauds[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
};

bool SpeedOf(unsigned baud, speed_t& code) {
    for (const BaudCode& b : kBauds)
        if (b.baud == baud) {
            code = b.code;
            return true;
        }
    return false;
}

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool Configure(int fd, unsigned baud, Parity parity, std::string* error) {
    speed_t speed = B9600;
    if (!SpeedOf(baud, speed)) {
        if (error) *error = "baud rate " + std::to_string(baud) + " is not available";
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        if (error) *error = Reason("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    if (parity != Parity::None) tio.c_cflag |= PARENB;
    if (parity == Parity::Odd) tio.c_cflag |= PARODD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        if (error) *error = Reason("tcsetattr");
        return false;
    }
    return true;
}

}  // namespace

bool IsSupportedBaud(unsigned baud) {
    speed_t code;
    return SpeedOf(baud, code);
}

std::unique_ptr<SerialLine> SerialLine::OpenDevice(const std::string& path, unsigned baud,
                                                   Parity parity, std::string* error) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = Reason(path.c_str());
        return nullptr;
    }
    if (!Configure(fd, baud, parity, error)) {
        close(fd);
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<SerialLine>(new SerialLine(fd, -1, path));
}

std::unique_ptr<SerialLine> SerialLine::CreatePty(unsigned baud, Parity parity, std::string* error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        if (error) *error = Reason("posix_openpt");
        return nullptr;
    }
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        if (error) *error = Reason("pseudo-terminal");
        close(master);
        return nullptr;
    }
    std::string path = name;
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    const int far = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (far < 0 || !Configure(far, baud, parity, error)) {
        if (far < 0 && error) *error = Reason(path.c_str());
        if (far >= 0) close(far);
        close(master);
        return nullptr;
    }
    // The near end passes bytes unchanged; its line settings mean nothing.
    termios tio{};
    if (tcgetattr(master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);
    }
    return std::unique_ptr<SerialLine>(new SerialLine(master, far, path));
}

SerialLine::~SerialLine() {
    close(fd_);
    if (keepOpenFd_ >= 0) close(keepOpenFd_);
}

long SerialLine::readAvailable(std::span<std::uint8_t> buffer) {
    const ssize_t n = read(fd_, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<long>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    return -1;
}

bool SerialLine::writeAll(std::span<const std::uint8_t> bytes, int timeoutMs) {
    return WriteAllWithin(fd_, bytes, timeoutMs);
}

void SerialLine::discardUnread() {
    if (keepOpenFd_ >= 0) tcflush(keepOpenFd_, TCIFLUSH);
}

}  // namespace ppisim
