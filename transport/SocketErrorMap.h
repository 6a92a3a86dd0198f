// Socket errors turned into library codes.
#pragma once

#include <cstdint>

namespace korvo {

// socketError is the WinSock error of the failed call (WSAGetLastError),
// systemError the system's own (GetLastError). The socket error decides; the
// system error is looked up only when it differs from it and is a WinSock
// number itself. Anything the table does not name is -652.
int32_t MapSocketError(int32_t socketError, int32_t systemError);

} // namespace korvo
