#include "platform/stream.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace korvo::os {

int32_t StreamRead(int stream, uint8_t* buffer, uint32_t capacity) {
    for (;;) {
        ssize_t n = ::read(stream, buffer, capacity);
        if (n > 0) return static_cast<int32_t>(n);
        if (n == 0) return capacity == 0 ? 0 : -1;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        // EIO on a pseudo-terminal master: the other side is closed.
        return -1;
    }
}

int32_t StreamWrite(int stream, const uint8_t* data, uint32_t length) {
    for (;;) {
        // send() with MSG_NOSIGNAL keeps a closed socket from killing the
        // process; a terminal is not a socket and takes write().
        ssize_t n = ::send(stream, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) n = ::write(stream, data, length);
        if (n >= 0) return static_cast<int32_t>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

void StreamClose(int stream) {
    if (stream >= 0) ::close(stream);
}

} // namespace korvo::os
