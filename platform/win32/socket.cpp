// Windows Sockets 2.2 behind platform/socket.h.
#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace korvo::os {

namespace {

SOCKET Sock(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

const ADDRINFOA* Info(const ResolvedAddress* entry) {
    return reinterpret_cast<const ADDRINFOA*>(entry);
}

int Clamp(uint32_t length) {
    return length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(length);
}

// 0, or the error of the call that just returned SOCKET_ERROR.
int32_t Result(int rc) {
    return rc == SOCKET_ERROR ? WSAGetLastError() : 0;
}

// A byte count or SOCKET_ERROR, as send and recv give it.
int32_t Count(int n, uint32_t& done) {
    done = n == SOCKET_ERROR ? 0 : static_cast<uint32_t>(n);
    return Result(n);
}

} // namespace

int32_t SocketsStartup(uint16_t& version) {
    WSADATA data;
    int rc = WSAStartup(MAKEWORD(2, 2), &data);
    if (rc != 0) {
        version = 0;
        return rc;
    }
    version = data.wVersion;
    return 0;
}

void SocketsCleanup() {
    WSACleanup();
}

int32_t ResolveAddress(const char* host, const char* service, ResolvedAddress** list) {
    *list = nullptr;
    ADDRINFOA hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOA* result = nullptr;
    int rc = getaddrinfo(host, service, &hints, &result);
    if (rc != 0) return rc;
    *list = reinterpret_cast<ResolvedAddress*>(result);
    return 0;
}

const ResolvedAddress* NextAddress(const ResolvedAddress* entry) {
    return entry ? reinterpret_cast<const ResolvedAddress*>(Info(entry)->ai_next) : nullptr;
}

void FreeAddressList(ResolvedAddress* list) {
    if (list) freeaddrinfo(reinterpret_cast<ADDRINFOA*>(list));
}

int32_t SocketCreate(const ResolvedAddress* entry, SocketHandle& socket) {
    const ADDRINFOA* ai = Info(entry);
    SOCKET s = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    if (s == INVALID_SOCKET) {
        socket = kInvalidSocket;
        return WSAGetLastError();
    }
    socket = static_cast<SocketHandle>(s);
    return 0;
}

int32_t SocketConnect(SocketHandle socket, const ResolvedAddress* entry) {
    const ADDRINFOA* ai = Info(entry);
    return Result(::connect(Sock(socket), ai->ai_addr, static_cast<int>(ai->ai_addrlen)));
}

int32_t SocketSetNonBlocking(SocketHandle socket, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    return Result(ioctlsocket(Sock(socket), FIONBIO, &mode));
}

int32_t SocketSend(SocketHandle socket, const void* data, uint32_t length, uint32_t& done) {
    return Count(::send(Sock(socket), static_cast<const char*>(data), Clamp(length), 0), done);
}

int32_t SocketRecv(SocketHandle socket, void* buffer, uint32_t capacity, uint32_t& done) {
    return Count(::recv(Sock(socket), static_cast<char*>(buffer), Clamp(capacity), 0), done);
}

int32_t SocketPeek(SocketHandle socket, void* buffer, uint32_t capacity, uint32_t& done) {
    return Count(::recv(Sock(socket), static_cast<char*>(buffer), Clamp(capacity), MSG_PEEK),
                 done);
}

int32_t SocketShutdown(SocketHandle socket) {
    return Result(::shutdown(Sock(socket), SD_BOTH));
}

int32_t SocketClose(SocketHandle socket) {
    return Result(closesocket(Sock(socket)));
}

int32_t SocketWaitWritable(SocketHandle socket, uint32_t timeoutMs, bool& writable) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(Sock(socket), &ready);
    FD_SET(Sock(socket), &failed);
    timeval tv;
    tv.tv_sec = static_cast<long>(timeoutMs / 1000);
    tv.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
    int rc = select(0, nullptr, &ready, &failed, &tv);
    writable = rc > 0;
    return Result(rc);
}

bool ParseIPv4WithPort(const char* text, uint16_t& port) {
    port = 0;
    if (!text) return false;
    sockaddr_in address{};
    INT length = sizeof address;
    // The text is only read, whatever the prototype says.
    if (WSAStringToAddressA(const_cast<LPSTR>(text), AF_INET, nullptr,
                            reinterpret_cast<LPSOCKADDR>(&address), &length) != 0)
        return false;
    port = ntohs(address.sin_port);
    return true;
}

bool SystemIsNumericHost(const char* text, bool v6Only) {
    ADDRINFOA hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = v6Only ? AF_INET6 : AF_UNSPEC;
    ADDRINFOA* result = nullptr;
    if (getaddrinfo(text, nullptr, &hints, &result) != 0) return false;
    freeaddrinfo(result);
    return true;
}

} // namespace korvo::os
