// The kernel's termios headers clash with <termios.h>; only they are used here.
#include "Termios2Probe.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace korvo::test {

uint32_t TerminalSpeed(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return 0;
    return t.c_ospeed;
}

} // namespace korvo::test
