// POSIX serial ports behind the Windows-shaped interface of platform/serial.h.
#include "platform/serial.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/serial_speed.h"
#include "platform/system_errors.h"

namespace korvo::os {

namespace {

struct Port {
    int fd;
    SerialTimeouts timeouts;
};

Port* ToPort(SerialHandle h) {
    return IsSerialOpen(h) ? static_cast<Port*>(h) : nullptr;
}

struct SpeedName {
    uint32_t baud;
    speed_t constant;
};

const SpeedName kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000},
    {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
};

bool SpeedConstant(uint32_t baud, speed_t& constant) {
    for (const SpeedName& s : kSpeeds) {
        if (s.baud == baud) {
            constant = s.constant;
            return true;
        }
    }
    return false;
}

// "COMn" in any letter case, n from 1 to 256 without leading zeros; the
// number or 0.
unsigned ComNumber(const char* name) {
    if ((name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm') return 0;
    const char* p = name + 3;
    if (*p < '1' || *p > '9') return 0;
    unsigned n = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (++digits > 3) return 0;
        n = n * 10 + static_cast<unsigned>(*p - '0');
    }
    if (*p != '\0' || n > 256) return 0;
    return n;
}

bool IsDirectory(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t DeviceError(int error) {
    // A port that another opener holds exclusively.
    if (error == EBUSY || error == EWOULDBLOCK) return kErrorSharingViolation;
    return SystemErrorFromErrno(error);
}

} // namespace

bool SerialSystemPath(const char* portName, char* out, uint32_t capacity) {
    if (!portName || !out || capacity == 0) return false;
    unsigned n = ComNumber(portName);
    if (n == 0) return false;
    int written;
    const char* dir = std::getenv("KORVOCOMM_PORTS");
    if (dir && *dir && IsDirectory(dir))
        written = std::snprintf(out, capacity, "%s/com%u", dir, n);
    else
        written = std::snprintf(out, capacity, "/dev/ttyS%u", n - 1);
    return written >= 0 && static_cast<uint32_t>(written) < capacity;
}

uint32_t SerialOpen(const char* portName, SerialHandle& handle) {
    handle = NoSerialHandle();
    char path[4096];
    if (!SerialSystemPath(portName, path, sizeof path)) return kErrorFileNotFound;

    // No controlling terminal: a port must never take over the process's
    // job control. Non-blocking: the open must not wait for a carrier, and
    // reads and writes wait only where this layer says so.
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return DeviceError(errno);

    // Exclusive access. TIOCEXCL turns away later openers, but not root;
    // the lock turns away everyone who asks for it, root included.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(fd);
        return kErrorSharingViolation;
    }
    ioctl(fd, TIOCEXCL);

    Port* port = new (std::nothrow) Port{fd, SerialTimeouts{}};
    if (!port) {
        ioctl(fd, TIOCNXCL);
        close(fd);
        return kErrorNotEnoughMemory;
    }
    handle = port;
    return 0;
}

uint32_t SerialSetLine(SerialHandle handle, uint32_t baudRate) {
    Port* port = ToPort(handle);
    if (!port) return kErrorInvalidHandle;
    if (baudRate == 0) return kErrorInvalidParameter; // B0 would hang the line up

    termios t{};
    if (tcgetattr(port->fd, &t) != 0) return SystemErrorFromErrno(errno);
    // Raw bytes in both directions, whatever state the device was left in.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    speed_t constant;
    bool standard = SpeedConstant(baudRate, constant);
    if (standard && (cfsetispeed(&t, constant) != 0 || cfsetospeed(&t, constant) != 0))
        return SystemErrorFromErrno(errno);
    if (tcsetattr(port->fd, TCSANOW, &t) != 0) return SystemErrorFromErrno(errno);
    if (!standard) {
        int error = SetArbitrarySpeed(port->fd, baudRate);
        if (error != 0) return SystemErrorFromErrno(error);
    }

    // DTR and RTS inactive. Pseudo-terminals have no modem lines and refuse
    // the request; that is no reason to refuse the port.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(port->fd, TIOCMBIC, &lines);
    return 0;
}

uint32_t SerialSetQueues(SerialHandle handle, uint32_t, uint32_t) {
    return ToPort(handle) ? 0 : kErrorInvalidHandle;
}

uint32_t SerialSetTimeouts(SerialHandle handle, const SerialTimeouts& timeouts) {
    Port* port = ToPort(handle);
    if (!port) return kErrorInvalidHandle;
    port->timeouts = timeouts;
    return 0;
}

uint32_t SerialQueued(SerialHandle handle, uint32_t& bytes) {
    bytes = 0;
    Port* port = ToPort(handle);
    if (!port) return kErrorInvalidHandle;
    int n = 0;
    if (ioctl(port->fd, FIONREAD, &n) != 0) return SystemErrorFromErrno(errno);
    bytes = n > 0 ? static_cast<uint32_t>(n) : 0;
    return 0;
}

uint32_t SerialRead(SerialHandle handle, void* buffer, uint32_t length, uint32_t& bytesRead) {
    bytesRead = 0;
    Port* port = ToPort(handle);
    if (!port) return kErrorInvalidHandle;
    if (length == 0) return 0;
    ssize_t n;
    do {
        n = read(port->fd, buffer, length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno == EAGAIN ? 0 : SystemErrorFromErrno(errno);
    bytesRead = static_cast<uint32_t>(n);
    return 0;
}

uint32_t SerialWrite(SerialHandle handle, const void* data, uint32_t length,
                     uint32_t& bytesWritten) {
    bytesWritten = 0;
    Port* port = ToPort(handle);
    if (!port) return kErrorInvalidHandle;

    // The total limit as Windows computes it; 0 for both parts means none.
    const uint64_t limit = static_cast<uint64_t>(port->timeouts.writeTotalMultiplier) * length +
                           port->timeouts.writeTotalConstant;
    const uint32_t start = SystemTickCount();
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (bytesWritten < length) {
        ssize_t n = write(port->fd, p + bytesWritten, length - bytesWritten);
        if (n > 0) {
            bytesWritten += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return SystemErrorFromErrno(errno);

        int wait = -1;
        if (limit != 0) {
            uint32_t elapsed = SystemTickCount() - start;
            if (elapsed >= limit) return 0; // out of time: fewer bytes written
            uint64_t left = limit - elapsed;
            wait = left > INT32_MAX ? INT32_MAX : static_cast<int>(left);
        }
        pollfd pfd{port->fd, POLLOUT, 0};
        if (poll(&pfd, 1, wait) < 0 && errno != EINTR) return SystemErrorFromErrno(errno);
    }
    // A write to a COM port on Windows completes when the bytes have gone out
    // on the line; the RS-232 link starts its answer time limits from there.
    // The terminal driver takes them into its buffer at once, so wait until
    // it has sent them, within the same time limit.
    for (;;) {
        int queued = 0;
        if (ioctl(port->fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
        if (limit != 0 && SystemTickCount() - start >= limit) {
            bytesWritten = queued < static_cast<int>(length) ? length - static_cast<uint32_t>(queued) : 0;
            return 0;
        }
        SystemSleep(1);
    }
    return 0;
}

intptr_t SerialWaitHandle(SerialHandle handle) {
    Port* port = ToPort(handle);
    return port ? port->fd : -1;
}

void SerialClose(SerialHandle& handle) {
    Port* port = ToPort(handle);
    handle = NoSerialHandle();
    if (!port) return;
    // Exclusive mode belongs to the terminal, not to this descriptor: give it
    // back so that the next opener is not turned away.
    ioctl(port->fd, TIOCNXCL);
    close(port->fd);
    delete port;
}

} // namespace korvo::os
