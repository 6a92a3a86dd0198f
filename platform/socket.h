// Stream sockets, the way Windows Sockets 2.2 offers them, on both systems.
// Every call that can fail returns 0 or a WinSock error number (10061
// refused, 10060 timed out, 11001 host not found, ...; see system_errors.h).
// Windows keeps one error per thread for sockets and the system alike
// (WSAGetLastError reads GetLastError), so that number is both.
#pragma once

#include <cstdint>

namespace korvo::os {

// A socket; kInvalidSocket when there is none (INVALID_SOCKET on Windows).
using SocketHandle = uintptr_t;
constexpr SocketHandle kInvalidSocket = ~static_cast<SocketHandle>(0);

// Starts the socket library asking for version 2.2 (WSAStartup). Returns 0
// and the version obtained (major in the low byte, minor in the high byte,
// as MAKEWORD builds it), or a WinSock error number. Each successful start
// is paired with one SocketsCleanup. On POSIX there is nothing to start: the
// call succeeds and reports 2.2.
int32_t SocketsStartup(uint16_t& version);
void SocketsCleanup();

// One entry of a resolver result list (an addrinfo). The caller walks the
// list with NextAddress and frees it with FreeAddressList.
struct ResolvedAddress;

// Resolves host and service (a decimal port text) for a TCP stream socket of
// any address family. Returns 0 and the first entry, or a WinSock error
// number (11001 host not found, 11002 try again, ...) and no list.
int32_t ResolveAddress(const char* host, const char* service, ResolvedAddress** list);
const ResolvedAddress* NextAddress(const ResolvedAddress* entry);
void FreeAddressList(ResolvedAddress* list);

// A socket with the entry's family, type and protocol; on failure socket is
// kInvalidSocket.
int32_t SocketCreate(const ResolvedAddress* entry, SocketHandle& socket);
// Connects to the entry's address. On a blocking socket this waits as long as
// the system's own connect timeout allows.
int32_t SocketConnect(SocketHandle socket, const ResolvedAddress* entry);
int32_t SocketSetNonBlocking(SocketHandle socket, bool nonBlocking);

// Send, receive and peek set done to the byte count (0 on failure). A
// non-blocking socket that has to wait fails with 10035. Receive and peek
// succeed with 0 bytes when the peer closed the connection. Sending never
// raises a signal.
int32_t SocketSend(SocketHandle socket, const void* data, uint32_t length, uint32_t& done);
int32_t SocketRecv(SocketHandle socket, void* buffer, uint32_t capacity, uint32_t& done);
int32_t SocketPeek(SocketHandle socket, void* buffer, uint32_t capacity, uint32_t& done);

// Shuts down both directions (SD_BOTH).
int32_t SocketShutdown(SocketHandle socket);
int32_t SocketClose(SocketHandle socket);

// Waits at most timeoutMs (0: just looks) until the socket can take more data.
int32_t SocketWaitWritable(SocketHandle socket, uint32_t timeoutMs, bool& writable);

// Reads text as an IPv4 address with an optional ":port" (WSAStringToAddressA
// with AF_INET): one to four parts in decimal, octal (leading 0) or
// hexadecimal (leading 0x). True on success; port is then the port given, in
// host byte order, or 0 when the text names none. Needs the socket library
// started.
bool ParseIPv4WithPort(const char* text, uint16_t& port);

// True when the resolver reads text as a numeric address of any family
// without looking anything up (getaddrinfo with AI_NUMERICHOST). A bracketed
// IPv6 address with an optional decimal port, "[v6]" or "[v6]:port", counts
// as numeric, and nothing else in brackets does, the same on both systems.
// Needs the socket library started.
bool IsNumericHost(const char* text);

// The resolver's own numeric check behind IsNumericHost (one per OS), limited
// to IPv6 when v6Only is set.
bool SystemIsNumericHost(const char* text, bool v6Only);

} // namespace korvo::os
