// Windows Sockets refuse to create a socket with WSANOTINITIALISED until the
// library is started; that refusal is the probe.
#include "platform/socket_state.h"

#include <winsock2.h>

namespace korvo::os {

bool SocketLibraryStarted() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return WSAGetLastError() != WSANOTINITIALISED;
    closesocket(s);
    return true;
}

} // namespace korvo::os
