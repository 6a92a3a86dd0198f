// When the library leaves the process it stops the socket library it started.
// Connections still open are neither disconnected nor freed: applications
// disconnect before they unload the library.
#include "api/ConnectionSetup.h"
#include "platform/library_entry.h"

namespace korvo {

void OnLibraryUnload() { StopSocketLibrary(); }

} // namespace korvo
