#include "ppisim/line.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace ppisim {

bool WriteAllWithin(int fd, std::span<const std::uint8_t> bytes, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, static_cast<int>(left.count()));
    }
    return true;
}

}  // namespace ppisim
