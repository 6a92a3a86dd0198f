#include "platform/pty.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix/errno_map.h"
#include "platform/system_errors.h"

namespace korvo::os {

uint32_t OpenPseudoTerminal(PseudoTerminal& pty) {
    int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0 || ::grantpt(m) != 0 || ::unlockpt(m) != 0 ||
        ::ptsname_r(m, pty.slavePath, sizeof pty.slavePath) != 0) {
        uint32_t error = SystemErrorFromErrno(errno);
        if (m >= 0) ::close(m);
        return error;
    }
    // Settings made on the master apply to the line the slave's opener sees.
    termios t{};
    if (::tcgetattr(m, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(m, TCSANOW, &t);
    }
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    pty.master = m;
    return kErrorSuccess;
}

int OpenSlaveWatch(const char* slavePath) {
    return ::open(slavePath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

int UnreadBytes(int slaveWatch) {
    int count = 0;
    return ::ioctl(slaveWatch, FIONREAD, &count) == 0 ? count : -1;
}

uint32_t PlaceSymlink(const char* target, const char* path) {
    struct stat st {};
    if (::lstat(path, &st) == 0 && !S_ISLNK(st.st_mode)) return kErrorFileExists;
    // A temporary link renamed over the old one: the path never disappears.
    char temporary[4200];
    std::snprintf(temporary, sizeof temporary, "%s.%ld.tmp", path, static_cast<long>(::getpid()));
    ::unlink(temporary);
    if (::symlink(target, temporary) != 0 || ::rename(temporary, path) != 0) {
        uint32_t error = SystemErrorFromErrno(errno);
        ::unlink(temporary);
        return error;
    }
    return kErrorSuccess;
}

void RemoveSymlink(const char* path, const char* target) {
    char current[4096];
    ssize_t n = ::readlink(path, current, sizeof current - 1);
    if (n < 0) return;
    current[n] = 0;
    if (std::strcmp(current, target) == 0) ::unlink(path);
}

} // namespace korvo::os
