#include "port_probe.h"

#include <cctype>

#include "line_options.h"

namespace plclink::host {

namespace {

bool SameIgnoringCase(const std::string& text, const char* upper) {
    std::size_t i = 0;
    for (; i < text.size() && upper[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) return false;
    }
    return i == text.size() && upper[i] == '\0';
}

}  // namespace

std::string DevicePathOfPort(const std::string& driverName) {
    if (!driverName.empty() && driverName[0] == '/') return driverName;
    if (SameIgnoringCase(driverName, "NUL")) return "/dev/null";
    if (driverName.size() == 4 && SameIgnoringCase(driverName.substr(0, 3), "COM") &&
        driverName[3] >= '1' && driverName[3] <= '9') {
        return std::string("/dev/ttyS") + static_cast<char>(driverName[3] - 1);
    }
    return "/dev/" + driverName;
}

}  // namespace plclink::host

#if defined(_WIN32)

namespace plclink::host {
std::string WhyPortFails(const std::string&) {
    return "missing, in use by another program, or not permitted";
}
}  // namespace plclink::host

#else

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plclink::host {

std::string WhyPortFails(const std::string& port) {
    const std::string device = DevicePathOfPort(DriverPortName(port));
    struct stat info{};
    if (stat(device.c_str(), &info) != 0) {
        return errno == ENOENT ? "no such device" : std::strerror(errno);
    }
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == EBUSY) return "in use by another program";
        if (errno == EACCES) return "no permission (is the user in the dialout group?)";
        return std::strerror(errno);
    }
    std::string why;
    termios state{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        why = "in use by another program";
    } else if (tcgetattr(fd, &state) != 0) {
        why = "not a serial device";
    } else {
        why = "the driver could not open or configure it";
    }
    close(fd);
    return why;
}

}  // namespace plclink::host

#endif
