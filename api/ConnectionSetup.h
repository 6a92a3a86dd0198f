// Opening a printer connection: check the arguments, claim a handle, build
// the transport and its session, run the handshake, and either hand the
// handle out or undo everything.
#pragma once

#include <cstdint>

namespace korvo {

// The least speed and the first printer address of an RS-232 connection; the
// address is its low byte.
constexpr int32_t kMinimumRs232Speed = 9600;
constexpr uint8_t kFirstDeviceAddress = 2;

// "COM1" to "COM256", "COM" in any letter case; characters after the sixth
// are not examined.
bool IsValidComPortName(const char* name);

// Starts the socket library once per process (version 2.2). 0, -631 or -632.
int32_t StartSocketLibrary();
// Stops it again if this process started it.
void StopSocketLibrary();

} // namespace korvo
