#include "port_probe.h"

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
    struct stat info{};
    if (stat(port.c_str(), &info) != 0) {
        return errno == ENOENT ? "no such device" : std::strerror(errno);
    }
    int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
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
