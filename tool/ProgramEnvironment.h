// What korvoprog needs from outside its own code: the library calls it drives
// the printer with, the console, and the wall clock. The program uses the
// real ones; tests put in their own.
#pragma once

#include <cstdint>
#include <cstdio>

#include "korvocomm.h"
#include "platform/wallclock.h"

namespace korvo {

struct LibraryCalls {
    int(KORVO_CALL* ConnectUSB)(const char* portName);
    int(KORVO_CALL* ConnectRS232)(const char* portName, int speed, int deviceAddress);
    int(KORVO_CALL* ConnectTCP)(const char* hostAddress);
    int(KORVO_CALL* Disconnect)(int handle);
    int(KORVO_CALL* GetLastComError)(int handle);
    int(KORVO_CALL* SetConfigValue)(int handle, const char* key, const char* value);
    int(KORVO_CALL* GetConfigValue)(int handle, const char* key, char* buffer, int bufferSize);
    int(KORVO_CALL* SendCommand)(int handle, const char* commandName, const char* parameters);
    int(KORVO_CALL* GetLastCommandResponse)(int handle, char* buffer, int bufferSize);
    int(KORVO_CALL* GetCommandResponseHead)(const char* commandName, char* buffer, int bufferSize);
    int(KORVO_CALL* GetErrorName)(int code, char* buffer, int bufferSize);
    // The port-name rule shared by the USB and RS-232 connections.
    bool (*IsValidComPortName)(const char* portName);
    // Stops the socket library when a TCP connection started it.
    void (*StopSocketLibrary)();
};

struct ProgramEnvironment {
    const LibraryCalls* library;
    FILE* console;
    os::WallClock (*readWallClock)();
};

// The environment of the real program: the library linked into it, standard
// output and the system's clock.
const ProgramEnvironment& RealEnvironment();

} // namespace korvo
