#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace plclink::testing {

PtyPair::PtyPair() {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    const char* slave = nullptr;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || (slave = ptsname(fd)) == nullptr) {
        close(fd);
        return;
    }
    termios t;
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    path_ = slave;
    master_ = fd;
}

PtyPair::~PtyPair() {
    if (master_ >= 0) close(master_);
}

void PtyPair::send(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

std::vector<std::uint8_t> PtyPair::receive(std::size_t count, int waitMs) {
    std::vector<std::uint8_t> out;
    while (out.size() < count) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0) break;
        std::uint8_t buf[256];
        const std::size_t want = count - out.size() < sizeof buf ? count - out.size() : sizeof buf;
        const ssize_t n = read(master_, buf, want);
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

}  // namespace plclink::testing
