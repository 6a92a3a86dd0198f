// POSIX sockets behind the WinSock-shaped interface of platform/socket.h.
#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/posix/errno_map.h"
#include "platform/system_errors.h"

namespace korvo::os {

namespace {

// The WinSock number of errno, right after a failed call.
int32_t ErrnoError() {
    return SocketErrorFromErrno(errno);
}

int Fd(SocketHandle socket) {
    return socket == kInvalidSocket ? -1 : static_cast<int>(socket);
}

const addrinfo* Info(const ResolvedAddress* entry) {
    return reinterpret_cast<const addrinfo*>(entry);
}

// One part of an IPv4 text: decimal, octal after a leading 0, hexadecimal
// after 0x. Stops at the first character that is not a digit of its base.
bool ReadPart(const char*& p, uint32_t& value) {
    uint32_t base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    const char* start = p;
    uint64_t v = 0;
    for (;; ++p) {
        uint32_t digit;
        char c = *p;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            break;
        if (digit >= base) return false;
        v = v * base + digit;
        if (v > 0xFFFFFFFFu) return false;
    }
    if (p == start) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

int32_t Receive(SocketHandle socket, void* buffer, uint32_t capacity, int flags,
                uint32_t& done) {
    done = 0;
    if (capacity > INT32_MAX) capacity = INT32_MAX;
    ssize_t n;
    do {
        n = ::recv(Fd(socket), buffer, capacity, flags);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return ErrnoError();
    done = static_cast<uint32_t>(n);
    return 0;
}

} // namespace

int32_t SocketsStartup(uint16_t& version) {
    version = 0x0202;
    return 0;
}

void SocketsCleanup() {}

int32_t ResolveAddress(const char* host, const char* service, ResolvedAddress** list) {
    *list = nullptr;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* result = nullptr;
    errno = 0;
    int rc = getaddrinfo(host, service, &hints, &result);
    if (rc != 0) return SocketErrorFromResolver(rc, errno);
    *list = reinterpret_cast<ResolvedAddress*>(result);
    return 0;
}

const ResolvedAddress* NextAddress(const ResolvedAddress* entry) {
    return entry ? reinterpret_cast<const ResolvedAddress*>(Info(entry)->ai_next) : nullptr;
}

void FreeAddressList(ResolvedAddress* list) {
    if (list) freeaddrinfo(reinterpret_cast<addrinfo*>(list));
}

int32_t SocketCreate(const ResolvedAddress* entry, SocketHandle& socket) {
    const addrinfo* ai = Info(entry);
    // Close-on-exec: a program the application starts must not inherit the
    // printer connection.
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
        socket = kInvalidSocket;
        return ErrnoError();
    }
    socket = static_cast<SocketHandle>(fd);
    return 0;
}

int32_t SocketConnect(SocketHandle socket, const ResolvedAddress* entry) {
    const addrinfo* ai = Info(entry);
    int rc;
    do {
        rc = ::connect(Fd(socket), ai->ai_addr, ai->ai_addrlen);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return 0;
    // An interrupted connect goes on in the background; wait for its end.
    if (errno == EALREADY || errno == EINPROGRESS) {
        pollfd p{Fd(socket), POLLOUT, 0};
        while (poll(&p, 1, -1) < 0 && errno == EINTR) {
        }
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &err, &len);
        if (err == 0) return 0;
        errno = err;
    }
    return ErrnoError();
}

int32_t SocketSetNonBlocking(SocketHandle socket, bool nonBlocking) {
    int flags = fcntl(Fd(socket), F_GETFL);
    if (flags < 0) return ErrnoError();
    flags = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (fcntl(Fd(socket), F_SETFL, flags) != 0) return ErrnoError();
    return 0;
}

int32_t SocketSend(SocketHandle socket, const void* data, uint32_t length, uint32_t& done) {
    done = 0;
    if (length > INT32_MAX) length = INT32_MAX;
    ssize_t n;
    do {
        // A peer that has gone must give an error, not SIGPIPE.
        n = ::send(Fd(socket), data, length, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return ErrnoError();
    done = static_cast<uint32_t>(n);
    return 0;
}

int32_t SocketRecv(SocketHandle socket, void* buffer, uint32_t capacity, uint32_t& done) {
    return Receive(socket, buffer, capacity, 0, done);
}

int32_t SocketPeek(SocketHandle socket, void* buffer, uint32_t capacity, uint32_t& done) {
    return Receive(socket, buffer, capacity, MSG_PEEK, done);
}

int32_t SocketShutdown(SocketHandle socket) {
    return ::shutdown(Fd(socket), SHUT_RDWR) == 0 ? 0 : ErrnoError();
}

int32_t SocketClose(SocketHandle socket) {
    // No retry on EINTR: the descriptor is released either way.
    return ::close(Fd(socket)) == 0 ? 0 : ErrnoError();
}

int32_t SocketWaitWritable(SocketHandle socket, uint32_t timeoutMs, bool& writable) {
    writable = false;
    pollfd p{Fd(socket), POLLOUT, 0};
    int timeout = timeoutMs > INT32_MAX ? INT32_MAX : static_cast<int>(timeoutMs);
    int rc = poll(&p, 1, timeout);
    if (rc < 0) return errno == EINTR ? 0 : ErrnoError();
    if (rc == 0) return 0;
    if (p.revents & POLLNVAL) return kWsaENotSock;
    // An error or hang-up is "writable" too: the next send reports it.
    writable = true;
    return 0;
}

bool ParseIPv4WithPort(const char* text, uint16_t& port) {
    port = 0;
    if (!text) return false;
    const char* p = text;
    uint32_t parts[4] = {};
    int count = 0;
    for (;;) {
        if (!ReadPart(p, parts[count])) return false;
        ++count;
        if (*p != '.') break;
        if (count == 4) return false;
        ++p;
    }
    // The last part fills all the bytes the earlier ones left.
    static const uint32_t kLastMax[4] = {0xFFFFFFFFu, 0xFFFFFFu, 0xFFFFu, 0xFFu};
    for (int i = 0; i + 1 < count; ++i)
        if (parts[i] > 0xFF) return false;
    if (parts[count - 1] > kLastMax[count - 1]) return false;

    if (*p == ':') {
        ++p;
        uint32_t value = 0;
        int digits = 0;
        for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
            value = value * 10 + static_cast<uint32_t>(*p - '0');
            if (value > 0xFFFF) return false;
        }
        if (digits == 0) return false;
        port = static_cast<uint16_t>(value);
    }
    return *p == '\0';
}

bool SystemIsNumericHost(const char* text, bool v6Only) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = v6Only ? AF_INET6 : AF_UNSPEC;
    addrinfo* result = nullptr;
    if (getaddrinfo(text, nullptr, &hints, &result) != 0) return false;
    freeaddrinfo(result);
    return true;
}

} // namespace korvo::os
