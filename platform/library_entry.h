// The shared library's unload step. The OS entry point (DllMain on Windows, a
// destructor function elsewhere) calls it once when the library leaves the
// process; the library above the OS layer defines it.
#pragma once

namespace korvo {

void OnLibraryUnload();

} // namespace korvo
