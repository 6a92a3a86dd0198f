// Listening TCP sockets of the simulator's line front ends. POSIX only.
#pragma once

#include <cstdint>

namespace korvo::os {

struct ListenerInfo {
    int stream = -1;
    uint16_t port = 0;     // the bound port (the chosen one when 0 was asked)
    char address[64] = {}; // numeric form of the bound address
    bool ipv6 = false;
};

// Binds host:port (host a name or a numeric address without brackets; port 0
// picks a free one) and listens, non-blocking. Unless allowRemote is set the
// address must be a loopback one (127.0.0.0/8, ::1): a host with none is
// refused with 10049 (address not available). Returns 0 or a WinSock error
// number (11001 host not found, 10048 address in use, 10013 access denied,
// ...; see system_errors.h) of the last address tried.
int32_t ServerListen(const char* host, uint16_t port, bool allowRemote, ListenerInfo& info);

// The next waiting connection as a non-blocking stream, or -1 when none.
int ServerAccept(int listener);

} // namespace korvo::os
