#include "platform/poller.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace korvo::os {

int32_t PollStreams(PollItem* items, uint32_t count, int32_t timeoutMs) {
    constexpr uint32_t kMax = 256;
    if (count > kMax) return -1;
    pollfd fds[kMax];
    for (uint32_t i = 0; i < count; ++i) {
        fds[i].fd = items[i].stream;
        fds[i].events = static_cast<short>((items[i].wantRead ? POLLIN : 0) |
                                           (items[i].wantWrite ? POLLOUT : 0));
        fds[i].revents = 0;
    }
    int r = ::poll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
    if (r < 0) return errno == EINTR ? 0 : -1;
    for (uint32_t i = 0; i < count; ++i) {
        items[i].readable = (fds[i].revents & POLLIN) != 0;
        items[i].writable = (fds[i].revents & POLLOUT) != 0;
        items[i].hangUp = (fds[i].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    return r;
}

WakeHandle::~WakeHandle() {
    if (readEnd >= 0) ::close(readEnd);
    if (writeEnd >= 0) ::close(writeEnd);
}

bool WakeHandle::Open() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

void WakeHandle::Signal() const {
    if (writeEnd < 0) return;
    int saved = errno; // may run inside a signal handler
    char b = 1;
    while (::write(writeEnd, &b, 1) < 0 && errno == EINTR) {
    }
    errno = saved;
}

void WakeHandle::Drain() const {
    char buffer[64];
    while (::read(readEnd, buffer, sizeof buffer) > 0) {
    }
}

} // namespace korvo::os
