#include "platform/posix/errno_map.h"

#include <cerrno>
#include <netdb.h>

#include "platform/system_errors.h"

namespace korvo::os {

uint32_t SystemErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return kErrorSuccess;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return kErrorFileNotFound;
    case ENOTDIR:
    case ELOOP:
        return kErrorPathNotFound;
    case EMFILE:
    case ENFILE:
        return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
        return kErrorAccessDenied;
    case EROFS:
        return kErrorWriteProtect;
    case EBADF:
        return kErrorInvalidHandle;
    case ENOMEM:
        return kErrorNotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
        return kErrorSharingViolation;
    case EWOULDBLOCK:
        return kErrorLockViolation;
    case EEXIST:
        return kErrorFileExists;
    case EINVAL:
        return kErrorInvalidParameter;
    case EPIPE:
        return kErrorBrokenPipe;
    case ENOSPC:
    case EDQUOT:
        return kErrorDiskFull;
    case ENAMETOOLONG:
        return kErrorFilenameTooLong;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
        return kErrorNotSupported;
    case ETIMEDOUT:
        return kErrorTimeout;
    case EINTR:
        return kErrorOperationAborted;
    default:
        return kErrorGenFailure; // EIO and whatever the device reports
    }
}

int32_t SocketErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return kWsaNoError;
    case EINTR:
        return kWsaEIntr;
    case EBADF:
        return kWsaEBadF;
    case EACCES:
    case EPERM:
        return kWsaEAcces;
    case EFAULT:
        return kWsaEFault;
    case EINVAL:
        return kWsaEInval;
    case EMFILE:
    case ENFILE:
        return kWsaEMFile;
    case EWOULDBLOCK:
        return kWsaEWouldBlock;
    case EINPROGRESS:
        return kWsaEInProgress;
    case EALREADY:
        return kWsaEAlready;
    case ENOTSOCK:
        return kWsaENotSock;
    case EDESTADDRREQ:
        return kWsaEDestAddrReq;
    case EMSGSIZE:
        return kWsaEMsgSize;
    case EPROTOTYPE:
        return kWsaEProtoType;
    case ENOPROTOOPT:
        return kWsaENoProtoOpt;
    case EPROTONOSUPPORT:
        return kWsaEProtoNoSupport;
    case ESOCKTNOSUPPORT:
        return kWsaESocktNoSupport;
    case EOPNOTSUPP:
        return kWsaEOpNotSupp;
    case EPFNOSUPPORT:
        return kWsaEPfNoSupport;
    case EAFNOSUPPORT:
        return kWsaEAfNoSupport;
    case EADDRINUSE:
        return kWsaEAddrInUse;
    case EADDRNOTAVAIL:
        return kWsaEAddrNotAvail;
    case ENETDOWN:
        return kWsaENetDown;
    case ENETUNREACH:
        return kWsaENetUnreach;
    case ENETRESET:
        return kWsaENetReset;
    case ECONNABORTED:
        return kWsaEConnAborted;
    case ECONNRESET:
        return kWsaEConnReset;
    case ENOBUFS:
    case ENOMEM:
        return kWsaENoBufs;
    case EISCONN:
        return kWsaEIsConn;
    case ENOTCONN:
        return kWsaENotConn;
    case ESHUTDOWN:
    case EPIPE:
        return kWsaEShutdown;
    case ETOOMANYREFS:
        return kWsaETooManyRefs;
    case ETIMEDOUT:
        return kWsaETimedOut;
    case ECONNREFUSED:
        return kWsaEConnRefused;
    case ELOOP:
        return kWsaELoop;
    case ENAMETOOLONG:
        return kWsaENameTooLong;
    case EHOSTDOWN:
        return kWsaEHostDown;
    case EHOSTUNREACH:
        return kWsaEHostUnreach;
    default:
        return kWsaEInval;
    }
}

int32_t SocketErrorFromResolver(int gaiError, int savedErrno) {
    switch (gaiError) {
    case 0:
        return kWsaNoError;
    case EAI_NONAME:
        return kWsaHostNotFound;
    case EAI_AGAIN:
        return kWsaTryAgain;
    case EAI_FAIL:
        return kWsaNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return kWsaNoData;
#endif
    case EAI_FAMILY:
        return kWsaEAfNoSupport;
    case EAI_SOCKTYPE:
        return kWsaESocktNoSupport;
    case EAI_SERVICE:
        return kWsaTypeNotFound;
    case EAI_MEMORY:
        return kWsaNotEnoughMemory;
    case EAI_BADFLAGS:
        return kWsaEInval;
    case EAI_SYSTEM:
        return SocketErrorFromErrno(savedErrno);
    default:
        return kWsaNoRecovery;
    }
}

} // namespace korvo::os
