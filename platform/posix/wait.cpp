// POSIX waits: poll on the watched descriptors; a signal is an eventfd.
#include "platform/wait.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/clock.h"

namespace korvo {

bool WakeSignal::Open() {
    if (handle == kNone) {
        int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        handle = fd >= 0 ? fd : kNone;
    }
    return handle != kNone;
}

void WakeSignal::Close() {
    if (handle != kNone) close(static_cast<int>(handle));
    handle = kNone;
}

void WakeSignal::Raise() const {
    if (handle == kNone) return;
    uint64_t one = 1;
    // A full counter is raised already.
    while (write(static_cast<int>(handle), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

InputWatch::~InputWatch() = default;

void InputWatch::WatchSocket(os::SocketHandle socket) {
    handle = socket == os::kInvalidSocket ? kNone : static_cast<intptr_t>(socket);
}

void InputWatch::WatchSerial(os::SerialHandle port) {
    handle = os::SerialWaitHandle(port);
}

void InputWatch::Stop() {
    handle = kNone;
}

namespace os {

bool SystemWait(const Waitable* const* items, uint32_t count, uint32_t ms) {
    constexpr uint32_t kMax = 4;
    pollfd fds[kMax];
    const Waitable* watched[kMax];
    nfds_t n = 0;
    for (uint32_t i = 0; i < count && n < kMax; ++i) {
        if (!items[i] || items[i]->Handle() == Waitable::kNone) continue;
        fds[n] = pollfd{static_cast<int>(items[i]->Handle()), POLLIN, 0};
        watched[n++] = items[i];
    }
    int r = poll(fds, n, ms > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(ms));
    if (r <= 0) return false;
    bool ready = false;
    bool hungUp = false;
    for (nfds_t i = 0; i < n; ++i) {
        short ev = fds[i].revents;
        if (ev == 0) continue;
        if (watched[i]->IsSignal()) {
            uint64_t value = 0;
            if (read(fds[i].fd, &value, sizeof value) < 0) {
                // Lowered by another wait that saw it first.
            }
            ready = true;
        } else if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp = true;
        } else {
            ready = true;
        }
    }
    // A stream that has hung up stays ready for ever; waking early for it
    // would only spin. The wait lasts its time, and the transport's own
    // checks see the failure.
    if (hungUp && !ready) SystemSleep(ms);
    return ready;
}

} // namespace os

} // namespace korvo
