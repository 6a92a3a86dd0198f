// termios2 lives in the kernel's own headers, which clash with <termios.h>;
// this file includes only those.
#include "platform/posix/serial_speed.h"

#include <cerrno>

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace korvo::os {

int SetArbitrarySpeed(int fd, uint32_t baud) {
#if defined(__linux__) && defined(BOTHER)
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
#else
    (void)fd;
    (void)baud;
    return EINVAL;
#endif
}

} // namespace korvo::os
