// The program's real environment: the library linked into it, standard output
// and the system's wall clock.
#include <cstdio>

#include "api/ConnectionSetup.h"
#include "tool/ProgramEnvironment.h"

namespace korvo {

namespace {

const LibraryCalls kLibrary = {
    ::ConnectUSB,       ::ConnectRS232,           ::ConnectTCP,
    ::Disconnect,       ::GetLastComError,        ::SetConfigValue,
    ::GetConfigValue,   ::SendCommand,            ::GetLastCommandResponse,
    ::GetCommandResponseHead, ::GetErrorName,     IsValidComPortName,
    StopSocketLibrary,
};

} // namespace

const ProgramEnvironment& RealEnvironment() {
    static const ProgramEnvironment environment = {&kLibrary, stdout, os::ReadWallClock};
    return environment;
}

} // namespace korvo
