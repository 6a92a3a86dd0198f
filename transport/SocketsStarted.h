// Whether this process has started the socket library (Windows Sockets 2.2).
//
// The connection setup starts the library and sets the flag; unloading the
// library and the end of korvoprog stop it and clear the flag. The TCP
// transport only reads it and refuses to open while it is false.
#pragma once

#include <atomic>

namespace korvo {

extern std::atomic<bool> socketsStarted;

} // namespace korvo
