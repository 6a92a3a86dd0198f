// Error numbers of the OS layer. Both systems report failures with the Windows
// numbers (GetLastError for ports and files, WSAGetLastError for sockets), so
// every table that turns them into library codes is written once, above this
// layer.
#pragma once

#include <cstdint>

namespace korvo::os {

// Windows system error numbers.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorBrokenPipe = 109;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorNegativeSeek = 131;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorFilenameTooLong = 206;
constexpr uint32_t kErrorOperationAborted = 995;
constexpr uint32_t kErrorTimeout = 1460;

// Windows Sockets error numbers.
constexpr int32_t kWsaNoError = 0;
constexpr int32_t kWsaNotEnoughMemory = 8;
constexpr int32_t kWsaEIntr = 10004;
constexpr int32_t kWsaEBadF = 10009;
constexpr int32_t kWsaEAcces = 10013;
constexpr int32_t kWsaEFault = 10014;
constexpr int32_t kWsaEInval = 10022;
constexpr int32_t kWsaEMFile = 10024;
constexpr int32_t kWsaEWouldBlock = 10035;
constexpr int32_t kWsaEInProgress = 10036;
constexpr int32_t kWsaEAlready = 10037;
constexpr int32_t kWsaENotSock = 10038;
constexpr int32_t kWsaEDestAddrReq = 10039;
constexpr int32_t kWsaEMsgSize = 10040;
constexpr int32_t kWsaEProtoType = 10041;
constexpr int32_t kWsaENoProtoOpt = 10042;
constexpr int32_t kWsaEProtoNoSupport = 10043;
constexpr int32_t kWsaESocktNoSupport = 10044;
constexpr int32_t kWsaEOpNotSupp = 10045;
constexpr int32_t kWsaEPfNoSupport = 10046;
constexpr int32_t kWsaEAfNoSupport = 10047;
constexpr int32_t kWsaEAddrInUse = 10048;
constexpr int32_t kWsaEAddrNotAvail = 10049;
constexpr int32_t kWsaENetDown = 10050;
constexpr int32_t kWsaENetUnreach = 10051;
constexpr int32_t kWsaENetReset = 10052;
constexpr int32_t kWsaEConnAborted = 10053;
constexpr int32_t kWsaEConnReset = 10054;
constexpr int32_t kWsaENoBufs = 10055;
constexpr int32_t kWsaEIsConn = 10056;
constexpr int32_t kWsaENotConn = 10057;
constexpr int32_t kWsaEShutdown = 10058;
constexpr int32_t kWsaETooManyRefs = 10059;
constexpr int32_t kWsaETimedOut = 10060;
constexpr int32_t kWsaEConnRefused = 10061;
constexpr int32_t kWsaELoop = 10062;
constexpr int32_t kWsaENameTooLong = 10063;
constexpr int32_t kWsaEHostDown = 10064;
constexpr int32_t kWsaEHostUnreach = 10065;
constexpr int32_t kWsaNotInitialised = 10093;
constexpr int32_t kWsaTypeNotFound = 10109;
constexpr int32_t kWsaHostNotFound = 11001;
constexpr int32_t kWsaTryAgain = 11002;
constexpr int32_t kWsaNoRecovery = 11003;
constexpr int32_t kWsaNoData = 11004;

} // namespace korvo::os
