#include "transport/SocketErrorMap.h"

#include "korvocomm.h"
#include "platform/system_errors.h"

namespace korvo {

namespace {

// The library code for a WinSock number, or 0 when the table has none.
int32_t Lookup(int32_t error) {
    switch (error) {
    case os::kWsaENetDown:
    case os::kWsaENetUnreach:
    case os::kWsaEHostUnreach:
        return APP_TCP_UNREACHABLE_HOST;
    case os::kWsaENetReset:
    case os::kWsaEConnAborted:
    case os::kWsaEConnReset:
    case os::kWsaEHostDown:
        return APP_TCP_CONNECTION_RESET;
    case os::kWsaETimedOut:
        return APP_TCP_CONNECT_TIME_OUT;
    case os::kWsaEConnRefused:
        return APP_TCP_CONNECTION_REFUSED;
    case os::kWsaELoop:
    case os::kWsaENameTooLong:
    case os::kWsaHostNotFound:
        return APP_TCP_HOST_NOT_FOUND;
    case os::kWsaTryAgain:
        return APP_TCP_TEMP_RESOLVE_ERROR;
    default:
        return 0;
    }
}

// The range of WinSock's own error numbers.
constexpr int32_t kFirstSocketError = 10004;
constexpr int32_t kLastSocketError = 11031;

} // namespace

int32_t MapSocketError(int32_t socketError, int32_t systemError) {
    if (int32_t code = Lookup(socketError)) return code;
    if (systemError == socketError || systemError < kFirstSocketError ||
        systemError > kLastSocketError)
        return APP_TCP_CONNECT_ERROR;
    if (int32_t code = Lookup(systemError)) return code;
    return APP_TCP_CONNECT_ERROR;
}

} // namespace korvo
