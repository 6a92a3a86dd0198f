// The host address a caller gives for a TCP connection:
//   [TCP://]host[:port]
// where host is an IPv4 address, an IPv6 address (bracketed when a port
// follows), or a host name. The port defaults to 49999.
#pragma once

#include <cstdint>

namespace korvo {

constexpr int32_t kDefaultTcpPort = 49999;

// Splits input into the host (written to output, at most capacity bytes with
// its NUL; brackets and port removed) and the port. False when the address is
// not acceptable; port is then 0 or -1. Needs the socket library started.
bool ParseHostAddress(const char* input, char* output, uint32_t capacity, int32_t& port);

// Cuts ":port" off the end of text in place and returns the port (1 to
// 65535), 49999 when text has no ':', or -1 for a missing or empty text or a
// port that is empty, longer than 5 characters, not decimal, 0 or above 65535.
int32_t ParsePort(char* text);

} // namespace korvo
