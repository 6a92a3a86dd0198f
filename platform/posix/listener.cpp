#include "platform/listener.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/posix/errno_map.h"
#include "platform/system_errors.h"

namespace korvo::os {

namespace {

bool IsLoopback(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
    }
    return false;
}

} // namespace

int32_t ServerListen(const char* host, uint16_t port, bool allowRemote, ListenerInfo& info) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    addrinfo* list = nullptr;
    int r = ::getaddrinfo(host, service, &hints, &list);
    if (r != 0) return SocketErrorFromResolver(r, errno);

    int32_t error = kWsaHostNotFound;
    for (addrinfo* a = list; a && error != kWsaNoError; a = a->ai_next) {
        if (!allowRemote && !IsLoopback(a->ai_addr)) {
            error = kWsaEAddrNotAvail;
            continue;
        }
        int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            error = SocketErrorFromErrno(errno);
            continue;
        }
        int on = 1;
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(s, a->ai_addr, a->ai_addrlen) != 0 || ::listen(s, 16) != 0) {
            error = SocketErrorFromErrno(errno);
            ::close(s);
            continue;
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length);
        char numeric[INET6_ADDRSTRLEN + 1] = "";
        char boundService[NI_MAXSERV] = "";
        ::getnameinfo(reinterpret_cast<sockaddr*>(&bound), length, numeric, sizeof numeric,
                      boundService, sizeof boundService, NI_NUMERICHOST | NI_NUMERICSERV);
        info.stream = s;
        info.port = static_cast<uint16_t>(std::atoi(boundService));
        info.ipv6 = bound.ss_family == AF_INET6;
        std::snprintf(info.address, sizeof info.address, "%s", numeric);
        error = kWsaNoError;
    }
    ::freeaddrinfo(list);
    return error;
}

int ServerAccept(int listener) {
    for (;;) {
        int s = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (s >= 0) {
            // Each response goes out as written, so split deliveries stay split.
            int on = 1;
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            return s;
        }
        if (errno == EINTR) continue;
        return -1;
    }
}

} // namespace korvo::os
