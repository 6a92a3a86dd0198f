// errno values translated to the Windows numbers the OS layer reports.
#pragma once

#include <cstdint>

namespace korvo::os {

// A Windows system error number (GetLastError) for a failed file or device
// call.
uint32_t SystemErrorFromErrno(int error);

// A WinSock error number for a failed socket call.
int32_t SocketErrorFromErrno(int error);

// A WinSock error number for a failed getaddrinfo; savedErrno is errno right
// after the call (it matters for EAI_SYSTEM).
int32_t SocketErrorFromResolver(int gaiError, int savedErrno);

} // namespace korvo::os
