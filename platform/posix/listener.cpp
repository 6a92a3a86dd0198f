#include "platform/listener.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

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

bool Fail(char* error, size_t size, const char* what, const char* detail) {
    std::snprintf(error, size, "%s: %s", what, detail);
    return false;
}

} // namespace

bool ServerListen(const char* host, uint16_t port, bool allowRemote, ListenerInfo& info,
                  char* error, size_t errorSize) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    addrinfo* list = nullptr;
    int r = ::getaddrinfo(host, service, &hints, &list);
    if (r != 0) return Fail(error, errorSize, host, ::gai_strerror(r));

    bool ok = false;
    for (addrinfo* a = list; a && !ok; a = a->ai_next) {
        if (!allowRemote && !IsLoopback(a->ai_addr)) {
            Fail(error, errorSize, host, "not a loopback address (see --allow-remote)");
            continue;
        }
        int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            Fail(error, errorSize, host, std::strerror(errno));
            continue;
        }
        int on = 1;
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(s, a->ai_addr, a->ai_addrlen) != 0 || ::listen(s, 16) != 0) {
            Fail(error, errorSize, host, std::strerror(errno));
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
        ok = true;
    }
    ::freeaddrinfo(list);
    return ok;
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
