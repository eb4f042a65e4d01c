// Baud rates that termios has no constant for, set through termios2 with
// BOTHER. The kernel's own termios headers clash with <termios.h>, hence a
// file of its own.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace plclink::linux_platform {

bool SetCustomBaud(int fd, std::uint32_t baud) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ospeed = baud;
    t.c_ispeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

std::uint32_t CustomBaudOf(int fd) {
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0) return 0;
    return t.c_ospeed;
}

}  // namespace plclink::linux_platform
