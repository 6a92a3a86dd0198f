#include "sim/serve/ErrorText.h"

#include "platform/system_errors.h"

namespace korvo::sim {

namespace {

struct Words {
    int64_t number;
    const char* text;
};

// The numbers the simulator's listeners and pseudo-terminals can report.
const Words kWords[] = {
    {os::kErrorFileNotFound, "not found"},
    {os::kErrorPathNotFound, "path not found"},
    {os::kErrorTooManyOpenFiles, "too many open files"},
    {os::kErrorAccessDenied, "access denied"},
    {os::kErrorNotEnoughMemory, "not enough memory"},
    {os::kErrorWriteProtect, "read-only file system"},
    {os::kErrorSharingViolation, "in use"},
    {os::kErrorNotSupported, "not supported"},
    {os::kErrorFileExists, "exists"},
    {os::kErrorInvalidParameter, "invalid argument"},
    {os::kErrorDiskFull, "disk full"},
    {os::kErrorFilenameTooLong, "name too long"},
    {os::kWsaEAcces, "access denied"},
    {os::kWsaEMFile, "too many open files"},
    {os::kWsaEAfNoSupport, "address family not supported"},
    {os::kWsaEAddrInUse, "address in use"},
    {os::kWsaEAddrNotAvail, "address not available"},
    {os::kWsaENoBufs, "no buffer space"},
    {os::kWsaHostNotFound, "host not found"},
    {os::kWsaTryAgain, "host not found for now"},
    {os::kWsaNoRecovery, "name lookup failed"},
    {os::kWsaNoData, "no address for the name"},
};

} // namespace

std::string ErrorText(int64_t number) {
    std::string code = "error " + std::to_string(number);
    for (const Words& w : kWords)
        if (w.number == number) return std::string(w.text) + " (" + code + ")";
    return code;
}

} // namespace korvo::sim
